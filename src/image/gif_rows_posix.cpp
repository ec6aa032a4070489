#include "image/gif_rows_posix.h"

#include <cstring>

namespace pushnote::image {

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

}  // namespace pushnote::image
