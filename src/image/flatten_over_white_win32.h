#pragma once

#include <cstddef>

namespace pushnote::image {

// Turns pixelCount blue, green, red, alpha pixels (straight alpha) into blue,
// green, red pixels composited over white, in place: the result takes the
// first pixelCount * 3 bytes. For decoders that only deliver 32-bit pixels.
void FlattenBgraOverWhite(unsigned char* pixels, std::size_t pixelCount) noexcept;

}  // namespace pushnote::image
