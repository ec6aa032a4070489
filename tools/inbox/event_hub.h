#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

namespace pushnote::inbox {

// Fans server-sent events out to the pages that listen. Each listener keeps
// the number of the last event it sent; events are kept for a while so a
// listener that falls a little behind misses none.
class EventHub {
public:
    // Adds one event, already formatted ("event: ...\ndata: ...\n\n").
    void Publish(std::string event);
    // The number of the newest event: a new listener starts after it.
    std::uint64_t Newest() const;
    // The events after `after`, joined, waiting up to `wait` for one. Empty
    // when none came; a reload event when the listener fell too far behind.
    std::string After(std::uint64_t& after, std::chrono::milliseconds wait);

    // A listener's place: taken while there are fewer than kMaxListeners,
    // given back when the listener ends.
    bool Join();
    void Leave();
    static constexpr std::size_t kMaxListeners = 32;

private:
    // The events kept, by number and by bytes: a note's event may be large,
    // and a listener behind is sent the kept ones in one piece.
    static constexpr std::size_t kKept = 512;
    static constexpr std::size_t kKeptBytes = 4 * 1024 * 1024;

    mutable std::mutex mutex_;
    std::condition_variable published_;
    std::deque<std::string> events_;
    std::size_t keptBytes_ = 0;
    std::uint64_t newest_ = 0;
    std::size_t listeners_ = 0;
};

}  // namespace pushnote::inbox
