// libFuzzer target: DecodeGifFrame from memory on arbitrary bytes, with a
// sink that checks the order and extent of the rows it is handed.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "image/image_codec.h"

namespace {

// Larger canvases take as long as their pixels; the decoding paths are the
// same as for small ones, so the sink declines them.
constexpr std::uint64_t kLargestCanvas = 1u << 20;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

class CheckingSink final : public pushnote::image::ScanlineSink {
public:
    bool Start(std::uint32_t width, std::uint32_t height) noexcept override {
        Check(!started_, "Start once");
        Check(pushnote::image::IsAcceptableSize(width, height), "an acceptable size");
        started_ = true;
        width_ = width;
        height_ = height;
        return std::uint64_t{width} * height <= kLargestCanvas;
    }
    bool Write(const unsigned char* rows, std::uint32_t count) noexcept override {
        Check(started_, "rows after Start");
        Check(count > 0 && rowsSeen_ + count <= height_, "no more rows than announced");
        // Touches every byte, so that reading past the rows shows.
        const std::size_t size = std::size_t{count} * width_ * 3;
        for (std::size_t i = 0; i < size; ++i) checksum_ += rows[i];
        rowsSeen_ += count;
        return true;
    }
    bool Complete() const { return started_ && rowsSeen_ == height_; }

private:
    bool started_ = false;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t rowsSeen_ = 0;
    unsigned checksum_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckingSink sink;
    if (pushnote::image::DecodeGifFrame(data, size, sink)) {
        Check(sink.Complete(), "a decoded picture has every row");
    }
    return 0;
}
