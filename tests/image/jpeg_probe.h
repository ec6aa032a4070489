#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "image/gif_writer.h"

namespace pushnote::testing {

// A JPEG file decoded by the platform's own decoder, independent of the
// library's encoder path.
struct DecodedJpeg {
    bool decoded = false;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Rgb> pixels;  // rows top down

    Rgb At(std::uint32_t x, std::uint32_t y) const { return pixels[y * width + x]; }
};

DecodedJpeg DecodeJpegFile(const std::string& path);

// True when every channel of a lies within tolerance of b's: JPEG is lossy.
inline bool NearlyEqual(Rgb a, Rgb b, int tolerance = 12) {
    return std::abs(a.red - b.red) <= tolerance && std::abs(a.green - b.green) <= tolerance &&
           std::abs(a.blue - b.blue) <= tolerance;
}

}  // namespace pushnote::testing
