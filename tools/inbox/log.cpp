#include "log.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "text_encoding.h"
#include "wall_clock.h"

namespace pushnote::inbox {
namespace {

constexpr std::size_t kExcerptCharacters = 40;
std::atomic<LogLevel> currentLevel{LogLevel::Info};

const char* LevelName(LogLevel level) {
    switch (level) {
        case LogLevel::Error:
            return "error";
        case LogLevel::Warning:
            return "warning";
        case LogLevel::Info:
            return "info";
        case LogLevel::Debug:
            return "debug";
    }
    return "info";
}

}  // namespace

void SetLogLevel(LogLevel level) {
    currentLevel = level;
}

bool Logging(LogLevel level) {
    return level <= currentLevel.load();
}

void Log(LogLevel level, std::string_view text) {
    if (!Logging(level)) return;
    std::string line = IsoTime(NowMs()) + " " + LevelName(level) + " ";
    // No control character reaches a terminal: C0, DEL, and C1 (U+0080 to
    // U+009F, which some terminals take as an escape) become a space; a byte
    // that is not UTF-8 becomes '?'.
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = Utf8SequenceLength(text, at);
        const auto lead = static_cast<unsigned char>(text[at]);
        const bool control =
            (length == 1 && (lead < 0x20 || lead == 0x7F)) ||
            (length == 2 && lead == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0);
        if (length == 0) {
            line += '?';
            ++at;
            continue;
        }
        if (control) {
            line += ' ';
        } else {
            line.append(text.substr(at, length));
        }
        at += length;
    }
    line += '\n';
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

std::string MessageExcerpt(std::string_view message) {
    std::size_t end = 0;
    std::size_t characters = 0;
    while (end < message.size() && characters < kExcerptCharacters) {
        end += std::max<std::size_t>(1, Utf8SequenceLength(message, end));
        ++characters;
    }
    end = std::min(end, message.size());
    std::string excerpt = "\"";
    excerpt.append(message.substr(0, end));
    excerpt += end < message.size() ? "\xE2\x80\xA6\"" : "\"";
    return excerpt;
}

}  // namespace pushnote::inbox
