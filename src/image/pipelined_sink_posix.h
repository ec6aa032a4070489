#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "base/memory.h"
#include "image/image_codec.h"

namespace pushnote::image {

// Hands the strips it is given to another sink on a second thread, so that
// decoding the next rows overlaps encoding the last ones. Start runs on the
// caller's thread; Finish (or the destructor) always joins the second thread,
// so the conversion stays one synchronous call.
class PipelinedSink final : public ScanlineSink {
public:
    explicit PipelinedSink(ScanlineSink& target) noexcept : target_(target) {}
    ~PipelinedSink();
    PipelinedSink(const PipelinedSink&) = delete;
    PipelinedSink& operator=(const PipelinedSink&) = delete;

    bool Start(std::uint32_t width, std::uint32_t height) noexcept override;
    bool Write(const unsigned char* rows, std::uint32_t rowCount) noexcept override;
    // Waits until every strip written has reached the target. False when the
    // target refused one.
    bool Finish() noexcept;

private:
    static constexpr int kSlots = 4;
    struct Slot {
        Buffer rows;
        std::uint32_t rowCount = 0;
    };

    void Drain() noexcept;
    void Stop() noexcept;

    ScanlineSink& target_;
    std::size_t stride_ = 0;
    Slot slots_[kSlots];
    // Strips are filled at next_ and drained at first_, in order.
    int first_ = 0;
    int filled_ = 0;
    int next_ = 0;
    bool closing_ = false;
    bool failed_ = false;
    bool threaded_ = false;
    std::mutex lock_;
    std::condition_variable changed_;
    std::thread drainer_;
};

}  // namespace pushnote::image
