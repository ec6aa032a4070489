#include "event_hub.h"

namespace pushnote::inbox {

void EventHub::Publish(std::string event) {
    {
        std::lock_guard lock(mutex_);
        keptBytes_ += event.size();
        events_.push_back(std::move(event));
        while (events_.size() > 1 && (events_.size() > kKept || keptBytes_ > kKeptBytes)) {
            keptBytes_ -= events_.front().size();
            events_.pop_front();
        }
        ++newest_;
    }
    published_.notify_all();
}

std::uint64_t EventHub::Newest() const {
    std::lock_guard lock(mutex_);
    return newest_;
}

std::string EventHub::After(std::uint64_t& after, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    published_.wait_for(lock, wait, [&] { return newest_ > after; });
    if (newest_ == after) return {};
    const std::uint64_t missed = newest_ - after;
    after = newest_;
    if (missed > events_.size()) return "event: reload\ndata: {}\n\n";
    std::string joined;
    for (std::size_t i = events_.size() - missed; i < events_.size(); ++i) joined += events_[i];
    return joined;
}

bool EventHub::Join() {
    std::lock_guard lock(mutex_);
    if (listeners_ >= kMaxListeners) return false;
    ++listeners_;
    return true;
}

void EventHub::Leave() {
    std::lock_guard lock(mutex_);
    --listeners_;
}

}  // namespace pushnote::inbox
