#include "image/gif_frame_rows_posix.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "base/memory.h"

namespace pushnote::image {
namespace {

// Where the rows of an interlaced GIF arrive: four passes, each starting at
// its offset and stepping by its jump.
constexpr std::uint32_t kInterlaceOffsets[] = {0, 4, 2, 1};
constexpr std::uint32_t kInterlaceJumps[] = {8, 8, 4, 2};

// One frame row: its visible indexes into visible, the columns past the
// canvas passed over without being written anywhere.
bool ReadFrameRow(LzwDecoder& pixels, const Layout& layout, GifPixelType* visible) {
    return pixels.Read(visible, layout.visibleWidth) && pixels.Skip(layout.hiddenWidth);
}

}  // namespace

bool StreamRows(LzwDecoder& pixels, const Layout& layout, const Palette& palette,
                StripWriter& strips) {
    Buffer line = Buffer::Obtain(std::max<std::size_t>(layout.visibleWidth, 1));
    if (!line) return false;
    auto* indexes = reinterpret_cast<GifPixelType*>(line.data());
    for (std::uint32_t y = 0; y < layout.canvasHeight; ++y) {
        const bool inFrame = y >= layout.top && y - layout.top < layout.visibleHeight;
        if (inFrame && !ReadFrameRow(pixels, layout, indexes)) return false;
        ComposeRow(layout, palette, inFrame ? indexes : nullptr, strips.NextRow());
        if (!strips.Commit()) return false;
    }
    return strips.Flush();
}

bool GatherInterlacedRows(LzwDecoder& pixels, const Layout& layout, const Palette& palette,
                          StripWriter& strips) {
    const std::size_t visibleSize =
        static_cast<std::size_t>(layout.visibleWidth) * layout.visibleHeight;
    Buffer gathered = Buffer::Obtain(std::max<std::size_t>(visibleSize, 1));
    if (!gathered) return false;
    auto* rows = reinterpret_cast<GifPixelType*>(gathered.data());
    const std::uint64_t frameWidth = std::uint64_t{layout.visibleWidth} + layout.hiddenWidth;
    std::uint32_t rowsLeft = layout.visibleHeight;
    for (int pass = 0; pass < 4 && rowsLeft > 0; ++pass) {
        for (std::uint32_t y = kInterlaceOffsets[pass]; y < layout.frameHeight && rowsLeft > 0;
             y += kInterlaceJumps[pass]) {
            if (y < layout.visibleHeight) {
                if (!ReadFrameRow(pixels, layout, rows + std::size_t{y} * layout.visibleWidth)) {
                    return false;
                }
                --rowsLeft;
            } else if (!pixels.Skip(frameWidth)) {
                return false;
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

}  // namespace pushnote::image
