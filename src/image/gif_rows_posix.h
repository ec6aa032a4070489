#pragma once

#include <gif_lib.h>

#include <cstddef>
#include <cstdint>
#include <utility>

#include "base/memory.h"
#include "image/gif_canvas_posix.h"
#include "image/image_codec.h"

// Canvas rows composed from a frame's indexes and gathered for the sink.
namespace pushnote::image {

// Rows handed to the sink at a time: one 4:2:0 JPEG block row.
inline constexpr std::uint32_t kStripRows = 16;

// Gathers canvas rows into strips for the sink.
class StripWriter {
public:
    StripWriter(ScanlineSink& sink, std::uint32_t width)
        : sink_(sink),
          stride_(static_cast<std::size_t>(width) * kBytesPerPixel),
          strip_(Buffer::Obtain(stride_ * kStripRows)) {}

    explicit operator bool() const { return static_cast<bool>(strip_); }
    unsigned char* NextRow() {
        return reinterpret_cast<unsigned char*>(strip_.data()) + filled_ * stride_;
    }
    bool Commit() { return ++filled_ < kStripRows || Flush(); }
    bool Flush() {
        const std::uint32_t count = std::exchange(filled_, 0);
        return count == 0 ||
               sink_.Write(reinterpret_cast<const unsigned char*>(strip_.data()), count);
    }

private:
    ScanlineSink& sink_;
    std::size_t stride_;
    Buffer strip_;
    std::uint32_t filled_ = 0;
};

// One canvas row: white, with the frame's visible indexes (if any) mapped in.
void ComposeRow(const Layout& layout, const Palette& palette, const GifPixelType* indexes,
                unsigned char* row);

}  // namespace pushnote::image
