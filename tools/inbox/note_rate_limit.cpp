#include "note_rate_limit.h"

namespace pushnote::inbox {
namespace {

constexpr std::chrono::seconds kWindow{60};

}  // namespace

int NoteRateLimit::PerMinute(const std::optional<std::string>& name) const {
    if (name) {
        if (const auto own = perMinuteByName_.find(*name); own != perMinuteByName_.end()) {
            return own->second;
        }
    }
    return perMinute_;
}

std::optional<std::chrono::seconds> NoteRateLimit::Take(const std::string& sender,
                                                        const std::optional<std::string>& name,
                                                        Clock::time_point now) {
    const auto perMinute = static_cast<std::size_t>(PerMinute(name));
    if (perMinute == 0) return std::nullopt;
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
    if (times.size() >= perMinute) {
        return std::chrono::ceil<std::chrono::seconds>(times.front() + kWindow - now);
    }
    times.push_back(now);
    return std::nullopt;
}

}  // namespace pushnote::inbox
