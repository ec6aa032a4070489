#include "image/gif_canvas_posix.h"

#include <algorithm>

#include "image/image_codec.h"

namespace pushnote::image {

Palette::Palette(const ColorMapObject& colours, int transparentIndex) noexcept {
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

bool LayOut(const GifFileType* gif, Layout& layout) {
    const GifImageDesc& frame = gif->Image;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Left < 0 || frame.Top < 0 ||
        std::uint64_t{static_cast<std::uint32_t>(frame.Width)} *
                static_cast<std::uint32_t>(frame.Height) >
            kMaxCanvasPixels) {
        return false;
    }
    layout.canvasWidth = gif->SWidth > 0 ? static_cast<std::uint32_t>(gif->SWidth)
                                         : static_cast<std::uint32_t>(frame.Left + frame.Width);
    layout.canvasHeight = gif->SHeight > 0 ? static_cast<std::uint32_t>(gif->SHeight)
                                           : static_cast<std::uint32_t>(frame.Top + frame.Height);
    if (!IsAcceptableSize(layout.canvasWidth, layout.canvasHeight)) return false;
    layout.frameHeight = static_cast<std::uint32_t>(frame.Height);
    layout.left = static_cast<std::uint32_t>(frame.Left);
    layout.top = static_cast<std::uint32_t>(frame.Top);
    if (layout.left < layout.canvasWidth && layout.top < layout.canvasHeight) {
        layout.visibleWidth =
            std::min(static_cast<std::uint32_t>(frame.Width), layout.canvasWidth - layout.left);
        layout.visibleHeight =
            std::min(static_cast<std::uint32_t>(frame.Height), layout.canvasHeight - layout.top);
        layout.hiddenWidth = static_cast<std::uint32_t>(frame.Width) - layout.visibleWidth;
    }
    return true;
}

}  // namespace pushnote::image
