#include "note_rate_limit.h"

namespace pushnote::inbox {
namespace {

constexpr std::chrono::seconds kWindow{60};

}  // namespace

std::optional<std::chrono::seconds> NoteRateLimit::Take(const std::string& sender,
                                                        Clock::time_point now) {
    std::lock_guard lock(mutex_);
    if (recent_.size() >= kMaxSenders && !recent_.contains(sender)) {
        // Senders quiet for a whole window have nothing left to count.
        std::erase_if(recent_, [now](const auto& entry) {
            return entry.second.empty() || now - entry.second.back() >= kWindow;
        });
        if (recent_.size() >= kMaxSenders) recent_.erase(recent_.begin());
    }
    std::deque<Clock::time_point>& times = recent_[sender];
    while (!times.empty() && now - times.front() >= kWindow) times.pop_front();
    if (times.size() >= perMinute_) {
        return std::chrono::ceil<std::chrono::seconds>(times.front() + kWindow - now);
    }
    times.push_back(now);
    return std::nullopt;
}

}  // namespace pushnote::inbox
