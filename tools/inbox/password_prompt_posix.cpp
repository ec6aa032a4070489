#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "password_prompt.h"

namespace pushnote::inbox {
namespace {

// Echo off for as long as it lives.
class HiddenInput {
public:
    HiddenInput() : active_(tcgetattr(STDIN_FILENO, &saved_) == 0) {
        if (!active_) return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    }
    ~HiddenInput() {
        if (active_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
    }
    HiddenInput(const HiddenInput&) = delete;
    HiddenInput& operator=(const HiddenInput&) = delete;

private:
    termios saved_{};
    bool active_;
};

std::optional<std::string> ReadLine() {
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

}  // namespace

std::optional<std::string> ReadNewPassword(const std::string& prompt) {
    if (!isatty(STDIN_FILENO)) return ReadLine();
    const HiddenInput hidden;
    std::fprintf(stderr, "%s: ", prompt.c_str());
    const std::optional<std::string> first = ReadLine();
    std::fprintf(stderr, "\nagain: ");
    const std::optional<std::string> second = ReadLine();
    std::fprintf(stderr, "\n");
    if (!first || !second || *first != *second) return std::nullopt;
    return first;
}

}  // namespace pushnote::inbox
