// The image conversion layer on Linux: giflib decodes, libjpeg-turbo encodes.
#include <gif_lib.h>
#include <turbojpeg.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "image/file_services.h"
#include "image/image_codec.h"

namespace pushnote::image {
namespace {

constexpr int kBytesPerPixel = 3;
constexpr unsigned char kWhite = 0xFF;

// Where the rows of an interlaced GIF arrive: four passes, each starting at
// its offset and stepping by its jump.
constexpr int kInterlaceOffsets[] = {0, 4, 2, 1};
constexpr int kInterlaceJumps[] = {8, 8, 4, 2};

struct GifCloser {
    void operator()(GifFileType* gif) const noexcept { DGifCloseFile(gif, nullptr); }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

struct TurboJpegDestroyer {
    void operator()(void* handle) const noexcept { tjDestroy(handle); }
};
using TurboJpeg = std::unique_ptr<void, TurboJpegDestroyer>;

// The graphics control extensions before the first image; the last one
// applies to it. -1 when no colour is transparent.
bool ReadExtension(GifFileType* gif, int& transparentIndex) {
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) != GIF_OK) return false;
    if (code == GRAPHICS_EXT_FUNC_CODE && block) {
        GraphicsControlBlock control{};
        if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
            transparentIndex = control.TransparentColor;
        }
    }
    while (block) {
        if (DGifGetExtensionNext(gif, &block) != GIF_OK) return false;
    }
    return true;
}

// Reads the frame described by gif->Image onto the white canvas, undoing
// interlacing and clipping what lies outside the canvas.
bool ReadFrameOntoCanvas(GifFileType* gif, int transparentIndex, LoadedImage& canvas) {
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* colours = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (!colours || frame.Width <= 0 || frame.Height <= 0) return false;

    Buffer row = Buffer::Obtain(static_cast<std::size_t>(frame.Width));
    if (!row) return false;
    auto* indexes = reinterpret_cast<GifPixelType*>(row.data());
    auto* canvasBytes = reinterpret_cast<unsigned char*>(canvas.pixels.data());

    auto placeRow = [&](int y) {
        const long canvasY = static_cast<long>(frame.Top) + y;
        if (canvasY >= static_cast<long>(canvas.height)) return;
        for (int x = 0; x < frame.Width; ++x) {
            const long canvasX = static_cast<long>(frame.Left) + x;
            if (canvasX >= static_cast<long>(canvas.width)) break;
            const int index = indexes[x];
            if (index == transparentIndex) continue;
            unsigned char* pixel = canvasBytes + (static_cast<std::size_t>(canvasY) * canvas.width +
                                                  static_cast<std::size_t>(canvasX)) *
                                                     kBytesPerPixel;
            // An index beyond the colour table shows black, as viewers do.
            GifColorType colour{0, 0, 0};
            if (index < colours->ColorCount) colour = colours->Colors[index];
            pixel[0] = colour.Blue;
            pixel[1] = colour.Green;
            pixel[2] = colour.Red;
        }
    };

    if (frame.Interlace) {
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kInterlaceOffsets[pass]; y < frame.Height; y += kInterlaceJumps[pass]) {
                if (DGifGetLine(gif, indexes, frame.Width) != GIF_OK) return false;
                placeRow(y);
            }
        }
    } else {
        for (int y = 0; y < frame.Height; ++y) {
            if (DGifGetLine(gif, indexes, frame.Width) != GIF_OK) return false;
            placeRow(y);
        }
    }
    return true;
}

// A canvas of the GIF's logical screen (or of the frame, where the screen
// claims no size), all white.
bool ObtainCanvas(const GifFileType* gif, LoadedImage& canvas) {
    canvas.width = gif->SWidth > 0 ? static_cast<std::uint32_t>(gif->SWidth)
                                   : static_cast<std::uint32_t>(gif->Image.Left + gif->Image.Width);
    canvas.height = gif->SHeight > 0
                        ? static_cast<std::uint32_t>(gif->SHeight)
                        : static_cast<std::uint32_t>(gif->Image.Top + gif->Image.Height);
    if (!IsAcceptableSize(canvas.width, canvas.height)) return false;
    const std::uint64_t size =
        static_cast<std::uint64_t>(canvas.width) * canvas.height * kBytesPerPixel;
    if (size > SIZE_MAX) return false;
    canvas.pixels = Buffer::Obtain(static_cast<std::size_t>(size));
    if (!canvas.pixels) return false;
    std::memset(canvas.pixels.data(), kWhite, canvas.pixels.size());
    return true;
}

}  // namespace

// Reads record by record and stops after the first image: later frames of an
// animation are never decoded.
LoadedImage LoadGifImage(const char* path) noexcept {
    GifFile gif(DGifOpenFileName(path, nullptr));
    if (!gif) return {};
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK) return {};
        if (record == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif.get(), transparentIndex)) return {};
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) != GIF_OK) return {};
            LoadedImage canvas;
            if (!ObtainCanvas(gif.get(), canvas) ||
                !ReadFrameOntoCanvas(gif.get(), transparentIndex, canvas)) {
                return {};
            }
            return canvas;
        } else {
            // The trailer before any image, or a record giflib cannot place.
            return {};
        }
    }
}

bool SaveJpegImage(const LoadedImage& image, const char* path) noexcept {
    if (!image || !IsAcceptableSize(image.width, image.height)) return false;
    const auto width = static_cast<int>(image.width);
    const auto height = static_cast<int>(image.height);
    const unsigned long bound = tjBufSize(width, height, TJSAMP_420);
    if (bound == static_cast<unsigned long>(-1)) return false;
    // Encoded into our own buffer, sized for the worst case so the encoder
    // never reallocates it.
    Buffer jpeg = Buffer::Obtain(bound);
    if (!jpeg) return false;

    TurboJpeg encoder(tjInitCompress());
    if (!encoder) return false;
    auto* jpegBytes = reinterpret_cast<unsigned char*>(jpeg.data());
    unsigned long jpegSize = bound;
    if (tjCompress2(encoder.get(), reinterpret_cast<const unsigned char*>(image.pixels.data()),
                    width, 0, height, TJPF_BGR, &jpegBytes, &jpegSize, TJSAMP_420, kJpegQuality,
                    TJFLAG_NOREALLOC) != 0) {
        return false;
    }
    return files::WriteWholeFile(path, jpegBytes, jpegSize);
}

}  // namespace pushnote::image
