#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace pushnote::inbox {

// At most `perMinute` notes in any 60 seconds for each sender (a token's
// name, or its fingerprint).
class NoteRateLimit {
public:
    using Clock = std::chrono::steady_clock;
    explicit NoteRateLimit(int perMinute) : perMinute_(static_cast<std::size_t>(perMinute)) {}

    int PerMinute() const { return static_cast<int>(perMinute_); }
    // Counts a note; nothing when it may go on, else how long until one may.
    std::optional<std::chrono::seconds> Take(const std::string& sender, Clock::time_point now);

private:
    static constexpr std::size_t kMaxSenders = 10000;
    std::size_t perMinute_;
    std::mutex mutex_;
    std::map<std::string, std::deque<Clock::time_point>> recent_;
};

}  // namespace pushnote::inbox
