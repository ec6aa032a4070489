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
constexpr int kInterlaceOffsets[] = {0, 4, 2, 1};
constexpr int kInterlaceJumps[] = {8, 8, 4, 2};

}  // namespace

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

}  // namespace pushnote::image
