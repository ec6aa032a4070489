// The image conversion layer on Linux: giflib reads the GIF's records, our LZW
// decoder its pixels line by line, and the rows go straight on to
// libjpeg-turbo's encoder.
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "base/memory.h"
#include "image/file_services.h"
#include "image/image_codec.h"
#include "image/jpeg_encoder_posix.h"
#include "image/lzw_decoder.h"
#include "image/pipelined_sink_posix.h"

namespace pushnote::image {
namespace {

constexpr int kBytesPerPixel = 3;
constexpr unsigned char kWhite = 0xFF;
// Rows handed to the sink at a time: one 4:2:0 JPEG block row.
constexpr std::uint32_t kStripRows = 16;
constexpr std::size_t kReadAhead = 64 * 1024;

// Where the rows of an interlaced GIF arrive: four passes, each starting at
// its offset and stepping by its jump.
constexpr int kInterlaceOffsets[] = {0, 4, 2, 1};
constexpr int kInterlaceJumps[] = {8, 8, 4, 2};

struct GifCloser {
    void operator()(GifFileType* gif) const noexcept { DGifCloseFile(gif, nullptr); }
};
using GifFile = std::unique_ptr<GifFileType, GifCloser>;

// giflib asks for a few bytes at a time; both sources answer from memory.
struct MemoryInput {
    const unsigned char* next;
    std::size_t left;
};

int ReadFromMemory(GifFileType* gif, GifByteType* destination, int count) {
    auto* input = static_cast<MemoryInput*>(gif->UserData);
    const std::size_t copied = std::min(input->left, static_cast<std::size_t>(count));
    std::memcpy(destination, input->next, copied);
    input->next += copied;
    input->left -= copied;
    return static_cast<int>(copied);
}

// Reads the file ahead in large pieces, so that giflib's small requests cost
// no system call each.
struct FileInput {
    int descriptor;
    Buffer ahead;
    std::size_t start = 0;
    std::size_t end = 0;
};

bool Refill(FileInput& input) {
    for (;;) {
        const ssize_t got = read(input.descriptor, input.ahead.data(), input.ahead.size());
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        input.start = 0;
        input.end = static_cast<std::size_t>(got);
        return true;
    }
}

int ReadFromFile(GifFileType* gif, GifByteType* destination, int count) {
    auto* input = static_cast<FileInput*>(gif->UserData);
    int copied = 0;
    while (copied < count) {
        if (input->start == input->end && !Refill(*input)) break;
        const std::size_t piece =
            std::min(input->end - input->start, static_cast<std::size_t>(count - copied));
        std::memcpy(destination + copied, input->ahead.data() + input->start, piece);
        input->start += piece;
        copied += static_cast<int>(piece);
    }
    return copied;
}

// The image's data sub-blocks as giflib reads them, starting with the one
// DGifGetCode handed out. giflib reads each into the same buffer, so the next
// is fetched only once the decoder has used the last.
struct CodeBlocks {
    GifFileType* gif;
    GifByteType* block;
    bool used = false;
};

bool NextCodeBlock(void* source, const unsigned char*& bytes, std::size_t& count) {
    auto* blocks = static_cast<CodeBlocks*>(source);
    if (blocks->used && DGifGetCodeNext(blocks->gif, &blocks->block) != GIF_OK) return false;
    blocks->used = true;
    if (!blocks->block) return false;
    bytes = blocks->block + 1;
    count = blocks->block[0];
    return true;
}

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

// Blue, green and red of each of the 256 indexes: the transparent one white,
// those beyond the colour table black, as viewers show them.
struct Palette {
    unsigned char bgr[256][kBytesPerPixel] = {};

    Palette(const ColorMapObject& colours, int transparentIndex) {
        const int count = std::min(colours.ColorCount, 256);
        for (int i = 0; i < count; ++i) {
            bgr[i][0] = colours.Colors[i].Blue;
            bgr[i][1] = colours.Colors[i].Green;
            bgr[i][2] = colours.Colors[i].Red;
        }
        if (transparentIndex >= 0 && transparentIndex < 256) {
            std::memset(bgr[transparentIndex], kWhite, kBytesPerPixel);
        }
    }

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
};

// The GIF's logical screen, or the frame's extent where the screen claims no size.
bool LayOut(const GifFileType* gif, Layout& layout) {
    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0) return false;
    layout.canvasWidth = gif->SWidth > 0 ? static_cast<std::uint32_t>(gif->SWidth)
                                         : static_cast<std::uint32_t>(frame.Left + frame.Width);
    layout.canvasHeight = gif->SHeight > 0 ? static_cast<std::uint32_t>(gif->SHeight)
                                           : static_cast<std::uint32_t>(frame.Top + frame.Height);
    if (!IsAcceptableSize(layout.canvasWidth, layout.canvasHeight)) return false;
    layout.left = static_cast<std::uint32_t>(frame.Left);
    layout.top = static_cast<std::uint32_t>(frame.Top);
    if (layout.left < layout.canvasWidth && layout.top < layout.canvasHeight) {
        layout.visibleWidth =
            std::min(static_cast<std::uint32_t>(frame.Width), layout.canvasWidth - layout.left);
        layout.visibleHeight =
            std::min(static_cast<std::uint32_t>(frame.Height), layout.canvasHeight - layout.top);
    }
    return true;
}

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
                unsigned char* row) {
    if (!indexes) {
        std::memset(row, kWhite, static_cast<std::size_t>(layout.canvasWidth) * kBytesPerPixel);
        return;
    }
    const std::size_t before = static_cast<std::size_t>(layout.left) * kBytesPerPixel;
    const std::size_t inside = static_cast<std::size_t>(layout.visibleWidth) * kBytesPerPixel;
    const std::size_t after =
        static_cast<std::size_t>(layout.canvasWidth) * kBytesPerPixel - before - inside;
    std::memset(row, kWhite, before);
    palette.Map(indexes, layout.visibleWidth, row + before);
    std::memset(row + before + inside, kWhite, after);
}

// Rows arrive in order: each goes to the sink as soon as it is decoded, and
// decoding stops at the canvas's last row.
bool StreamRows(GifFileType* gif, LzwDecoder& pixels, const Layout& layout, const Palette& palette,
                StripWriter& strips) {
    Buffer line = Buffer::Obtain(static_cast<std::size_t>(gif->Image.Width));
    if (!line) return false;
    auto* indexes = reinterpret_cast<GifPixelType*>(line.data());
    for (std::uint32_t y = 0; y < layout.canvasHeight; ++y) {
        const bool inFrame = y >= layout.top && y - layout.top < layout.visibleHeight;
        if (inFrame && !pixels.Read(indexes, line.size())) return false;
        ComposeRow(layout, palette, inFrame ? indexes : nullptr, strips.NextRow());
        if (!strips.Commit()) return false;
    }
    return strips.Flush();
}

// Interlaced rows arrive in four passes: their visible indexes are gathered
// first, one byte per pixel, then composed top down.
bool GatherInterlacedRows(GifFileType* gif, LzwDecoder& pixels, const Layout& layout,
                          const Palette& palette, StripWriter& strips) {
    const std::size_t visibleSize =
        static_cast<std::size_t>(layout.visibleWidth) * layout.visibleHeight;
    Buffer line = Buffer::Obtain(static_cast<std::size_t>(gif->Image.Width));
    Buffer gathered = Buffer::Obtain(std::max<std::size_t>(visibleSize, 1));
    if (!line || !gathered) return false;
    auto* indexes = reinterpret_cast<GifPixelType*>(line.data());
    auto* rows = reinterpret_cast<GifPixelType*>(gathered.data());
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kInterlaceOffsets[pass]; y < gif->Image.Height; y += kInterlaceJumps[pass]) {
            if (!pixels.Read(indexes, line.size())) return false;
            if (static_cast<std::uint32_t>(y) < layout.visibleHeight) {
                std::memcpy(rows + static_cast<std::size_t>(y) * layout.visibleWidth, indexes,
                            layout.visibleWidth);
            }
        }
    }
    for (std::uint32_t y = 0; y < layout.canvasHeight; ++y) {
        const bool inFrame = y >= layout.top && y - layout.top < layout.visibleHeight;
        const GifPixelType* source =
            inFrame ? rows + static_cast<std::size_t>(y - layout.top) * layout.visibleWidth
                    : nullptr;
        ComposeRow(layout, palette, source, strips.NextRow());
        if (!strips.Commit()) return false;
    }
    return strips.Flush();
}

bool DecodeFrame(GifFileType* gif, int transparentIndex, ScanlineSink& sink) {
    Layout layout;
    const ColorMapObject* colours = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
    if (!colours || !LayOut(gif, layout)) return false;
    const Palette palette(*colours, transparentIndex);
    int minimumCodeSize = 0;
    CodeBlocks blocks{gif, nullptr};
    if (DGifGetCode(gif, &minimumCodeSize, &blocks.block) != GIF_OK) return false;
    LzwDecoder pixels(minimumCodeSize, &NextCodeBlock, &blocks);
    StripWriter strips(sink, layout.canvasWidth);
    if (!pixels || !strips || !sink.Start(layout.canvasWidth, layout.canvasHeight)) return false;
    return gif->Image.Interlace ? GatherInterlacedRows(gif, pixels, layout, palette, strips)
                                : StreamRows(gif, pixels, layout, palette, strips);
}

// Reads record by record and stops after the first image: later frames of an
// animation are never decoded.
bool Decode(void* input, InputFunc read, ScanlineSink& sink) {
    GifFile gif(DGifOpen(input, read, nullptr));
    if (!gif) return false;
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK) return false;
        if (record == EXTENSION_RECORD_TYPE) {
            if (!ReadExtension(gif.get(), transparentIndex)) return false;
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            return DGifGetImageDesc(gif.get()) == GIF_OK &&
                   DecodeFrame(gif.get(), transparentIndex, sink);
        } else {
            // The trailer before any image, or a record giflib cannot place.
            return false;
        }
    }
}

}  // namespace

bool DecodeGifFrame(files::ReadOnlyFile& gif, ScanlineSink& sink) noexcept {
    if (!gif) return false;
    FileInput input{static_cast<int>(gif.native()), Buffer::Obtain(kReadAhead)};
    return input.ahead && Decode(&input, &ReadFromFile, sink);
}

bool DecodeGifFrame(const unsigned char* gif, std::size_t size, ScanlineSink& sink) noexcept {
    MemoryInput input{gif, size};
    return Decode(&input, &ReadFromMemory, sink);
}

// Decoding on the caller's thread overlaps encoding on a second one.
bool ConvertGifToJpeg(files::ReadOnlyFile& gif, const char* jpegPath) noexcept {
    JpegEncoder jpeg;
    PipelinedSink pipeline(jpeg);
    return DecodeGifFrame(gif, pipeline) && pipeline.Finish() && jpeg.Finish() &&
           files::WriteWholeFile(jpegPath, jpeg.data(), jpeg.size());
}

}  // namespace pushnote::image
