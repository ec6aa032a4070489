#include "image/pipelined_sink_posix.h"

#include <cstring>
#include <system_error>

namespace pushnote::image {
namespace {

// The most rows one Write may bring: the decoder hands over one JPEG block
// row at a time.
constexpr std::uint32_t kMaxStripRows = 16;
constexpr int kBytesPerPixel = 3;

}  // namespace

PipelinedSink::~PipelinedSink() {
    Stop();
}

bool PipelinedSink::Start(std::uint32_t width, std::uint32_t height) noexcept {
    if (threaded_ || !target_.Start(width, height)) return false;
    stride_ = static_cast<std::size_t>(width) * kBytesPerPixel;
    for (Slot& slot : slots_) {
        slot.rows = Buffer::Obtain(stride_ * kMaxStripRows);
        if (!slot.rows) return false;
    }
    try {
        drainer_ = std::thread([this] { Drain(); });
    } catch (const std::system_error&) {
        return false;
    }
    threaded_ = true;
    return true;
}

bool PipelinedSink::Write(const unsigned char* rows, std::uint32_t rowCount) noexcept {
    if (!threaded_) return false;
    while (rowCount > 0) {
        const std::uint32_t count = rowCount < kMaxStripRows ? rowCount : kMaxStripRows;
        std::unique_lock<std::mutex> hold(lock_);
        changed_.wait(hold, [this] { return failed_ || filled_ < kSlots; });
        if (failed_) return false;
        Slot& slot = slots_[next_];
        hold.unlock();
        // The slot is ours until it is counted as filled.
        std::memcpy(slot.rows.data(), rows, count * stride_);
        slot.rowCount = count;
        hold.lock();
        next_ = (next_ + 1) % kSlots;
        ++filled_;
        changed_.notify_all();
        rows += count * stride_;
        rowCount -= count;
    }
    return true;
}

void PipelinedSink::Drain() noexcept {
    std::unique_lock<std::mutex> hold(lock_);
    for (;;) {
        changed_.wait(hold, [this] { return filled_ > 0 || closing_ || failed_; });
        if (failed_ || filled_ == 0) return;
        Slot& slot = slots_[first_];
        hold.unlock();
        const bool written =
            target_.Write(reinterpret_cast<const unsigned char*>(slot.rows.data()), slot.rowCount);
        hold.lock();
        first_ = (first_ + 1) % kSlots;
        --filled_;
        if (!written) failed_ = true;
        changed_.notify_all();
    }
}

void PipelinedSink::Stop() noexcept {
    if (!threaded_) return;
    {
        std::lock_guard<std::mutex> hold(lock_);
        closing_ = true;
    }
    changed_.notify_all();
    drainer_.join();
    threaded_ = false;
}

bool PipelinedSink::Finish() noexcept {
    if (!threaded_) return false;
    Stop();
    return !failed_;
}

}  // namespace pushnote::image
