#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes GIF files for the tests, so that no sample file is needed: every
// frame feature the converter must honour (interlacing, transparency, frames
// that cover part of the canvas, local colour tables, animation) on demand.
namespace pushnote::testing {

struct Rgb {
    std::uint8_t red, green, blue;
    bool operator==(const Rgb&) const = default;
};

struct GifFrame {
    std::uint16_t left = 0;
    std::uint16_t top = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<std::uint8_t> indexes;  // width * height, rows top down
    std::vector<Rgb> localColours;      // empty: the global table applies
    int transparentIndex = -1;
    bool interlaced = false;
};

struct GifPicture {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::vector<Rgb> globalColours;
    std::vector<GifFrame> frames;
};

// The GIF89a bytes of picture.
std::string EncodeGif(const GifPicture& picture);

// A frame covering the whole canvas, its pixels given by indexAt(x, y).
template <typename IndexAt>
GifFrame FullFrame(std::uint16_t width, std::uint16_t height, IndexAt indexAt) {
    GifFrame frame;
    frame.width = width;
    frame.height = height;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) frame.indexes.push_back(indexAt(x, y));
    }
    return frame;
}

}  // namespace pushnote::testing
