#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace pushnote::inbox {

// At most so many notes in any 60 seconds for each sender: a named token's
// own number, or the default for the rest (0: no limit).
class NoteRateLimit {
public:
    using Clock = std::chrono::steady_clock;
    NoteRateLimit(int perMinute, std::map<std::string, int> perMinuteByName)
        : perMinute_(perMinute), perMinuteByName_(std::move(perMinuteByName)) {}

    // The number for a sender: its token's name, if it has one.
    int PerMinute(const std::optional<std::string>& name) const;
    // Counts a note of a sender (the token's name or fingerprint as `key`);
    // nothing when it may go on, else how long until one may.
    std::optional<std::chrono::seconds> Take(const std::string& key,
                                             const std::optional<std::string>& name,
                                             Clock::time_point now);

private:
    static constexpr std::size_t kMaxSenders = 10000;
    int perMinute_;
    std::map<std::string, int> perMinuteByName_;
    std::mutex mutex_;
    std::map<std::string, std::deque<Clock::time_point>> recent_;
};

}  // namespace pushnote::inbox
