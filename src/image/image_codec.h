#pragma once

#include <cstdint>

#include "frame/memory.h"

// The image conversion layer: the platform's decoder and encoder behind one
// narrow interface, one file per platform.
namespace pushnote::image {

// Quality 90 of 100 with 4:2:0 chroma: GIFs are mostly drawn graphics, whose
// edges show blocking at lower qualities.
inline constexpr int kJpegQuality = 90;

// The largest canvas a GIF may ask for: a few bytes of header can claim
// 65535 x 65535 pixels, which would take gigabytes before any pixel arrives.
inline constexpr std::uint64_t kMaxCanvasPixels = 100'000'000;

// The largest side a JPEG file can describe.
inline constexpr std::uint32_t kMaxJpegSide = 65500;

// Within what a JPEG can describe and what we agree to hold.
constexpr bool IsAcceptableSize(std::uint32_t width, std::uint32_t height) noexcept {
    return width > 0 && height > 0 && width <= kMaxJpegSide && height <= kMaxJpegSide &&
           std::uint64_t{width} * height <= kMaxCanvasPixels;
}

// A decoded image: top-down rows of blue, green and red bytes, no padding.
// Owns its pixels; empty when loading failed.
struct LoadedImage {
    Buffer pixels;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    explicit operator bool() const noexcept { return static_cast<bool>(pixels); }
};

// Loads the first frame of the GIF at path as the viewer would show it: on
// the GIF's canvas, interlacing undone, transparent pixels (and canvas the
// frame does not cover) white. Empty when the file cannot be read or decoded.
LoadedImage LoadGifImage(const char* path) noexcept;

// Writes image as a baseline JPEG file at path, creating or truncating it.
// False on any failure; the file may then hold anything.
bool SaveJpegImage(const LoadedImage& image, const char* path) noexcept;

}  // namespace pushnote::image
