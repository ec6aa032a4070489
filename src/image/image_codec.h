#pragma once

#include <cstddef>
#include <cstdint>

#include "image/file_services.h"

// The image conversion layer: the platform's decoder and encoder behind one
// narrow interface, one file per platform. Pixels flow from the decoder to the
// encoder a strip of rows at a time, so no whole picture is ever held.
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

// Receives a decoded picture top down: Start once, then Write until every row
// has arrived. Rows are blue, green and red bytes, width * 3 bytes each, no
// padding. Returning false stops the decoding.
class ScanlineSink {
public:
    virtual bool Start(std::uint32_t width, std::uint32_t height) noexcept = 0;
    virtual bool Write(const unsigned char* rows, std::uint32_t rowCount) noexcept = 0;

protected:
    ~ScanlineSink() = default;
};

// Decodes the first frame of a GIF as the viewer would show it: on the GIF's
// canvas, interlacing undone, transparent pixels (and canvas the frame does
// not cover) white. False when the bytes cannot be read or decoded, or the
// sink refuses them; the sink may then have seen part of the picture.
bool DecodeGifFrame(files::ReadOnlyFile& gif, ScanlineSink& sink) noexcept;
bool DecodeGifFrame(const unsigned char* gif, std::size_t size, ScanlineSink& sink) noexcept;

// Converts the first frame of the GIF, shown as DecodeGifFrame shows it, to a
// baseline JPEG file at jpegPath (a native path), creating or truncating it.
// False on any failure; the file may then hold anything.
bool ConvertGifToJpeg(files::ReadOnlyFile& gif, const PathChar* jpegPath) noexcept;

}  // namespace pushnote::image
