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
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        line += byte < 0x20 || byte == 0x7F ? ' ' : c;
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
