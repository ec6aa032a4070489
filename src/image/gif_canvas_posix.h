#pragma once

#include <gif_lib.h>

#include <cstddef>
#include <cstdint>
#include <cstring>

// The colours of a GIF frame and where the frame lies on its canvas.
namespace pushnote::image {

inline constexpr int kBytesPerPixel = 3;
inline constexpr unsigned char kWhite = 0xFF;

// Blue, green and red of each of the 256 indexes: the transparent one white,
// those beyond the colour table black, as viewers show them.
struct Palette {
    unsigned char bgr[256][kBytesPerPixel] = {};

    Palette(const ColorMapObject& colours, int transparentIndex) noexcept;

    void Map(const GifPixelType* indexes, std::size_t count, unsigned char* row) const {
        for (std::size_t x = 0; x < count; ++x, row += kBytesPerPixel) {
            const unsigned char* colour = bgr[indexes[x]];
            row[0] = colour[0];
            row[1] = colour[1];
            row[2] = colour[2];
        }
    }
};

// Where the frame lies on the canvas, clipped to it.
struct Layout {
    std::uint32_t canvasWidth = 0;
    std::uint32_t canvasHeight = 0;
    std::uint32_t left = 0;
    std::uint32_t top = 0;
    std::uint32_t visibleWidth = 0;   // frame columns inside the canvas
    std::uint32_t visibleHeight = 0;  // frame rows inside the canvas
    std::uint32_t hiddenWidth = 0;    // frame columns past the canvas's right edge
    std::uint32_t frameHeight = 0;
};

// The GIF's logical screen, or the frame's extent where the screen claims no
// size. False when the frame or the canvas cannot be taken: a frame of more
// pixels than a canvas may have is refused before any of it is decoded.
bool LayOut(const GifFileType* gif, Layout& layout);

}  // namespace pushnote::image
