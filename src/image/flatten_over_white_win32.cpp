#include "image/flatten_over_white_win32.h"

namespace pushnote::image {
namespace {

constexpr unsigned kOpaque = 255;

unsigned char OverWhite(unsigned channel, unsigned alpha) {
    // Rounded: fully opaque keeps the channel, fully transparent gives 255.
    return static_cast<unsigned char>((channel * alpha + kOpaque * (kOpaque - alpha) + 127) /
                                      kOpaque);
}

}  // namespace

void FlattenBgraOverWhite(unsigned char* pixels, std::size_t pixelCount) noexcept {
    // Forward in place is safe: pixel i is written at 3i, never past its
    // own source at 4i.
    for (std::size_t i = 0; i < pixelCount; ++i) {
        const unsigned char* source = pixels + i * 4;
        const unsigned alpha = source[3];
        const unsigned char blue = OverWhite(source[0], alpha);
        const unsigned char green = OverWhite(source[1], alpha);
        const unsigned char red = OverWhite(source[2], alpha);
        unsigned char* target = pixels + i * 3;
        target[0] = blue;
        target[1] = green;
        target[2] = red;
    }
}

}  // namespace pushnote::image
