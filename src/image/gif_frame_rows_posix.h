#pragma once

#include <gif_lib.h>

#include "image/gif_canvas_posix.h"
#include "image/gif_rows_posix.h"
#include "image/lzw_decoder.h"

// A frame's pixels decoded onto the canvas, row by row.
namespace pushnote::image {

// Rows arrive in order: each goes to the sink as soon as it is decoded, and
// decoding stops at the canvas's last row.
bool StreamRows(GifFileType* gif, LzwDecoder& pixels, const Layout& layout, const Palette& palette,
                StripWriter& strips);

// Interlaced rows arrive in four passes: their visible indexes are gathered
// first, one byte per pixel, then composed top down.
bool GatherInterlacedRows(GifFileType* gif, LzwDecoder& pixels, const Layout& layout,
                          const Palette& palette, StripWriter& strips);

}  // namespace pushnote::image
