#pragma once

#include "image/gif_canvas_posix.h"
#include "image/gif_rows_posix.h"
#include "image/lzw_decoder.h"

// A frame's pixels decoded onto the canvas, row by row. Only the part inside
// the canvas is ever written: columns and rows past it are passed over at the
// cost of their codes, so the work is bounded by the canvas and the data.
namespace pushnote::image {

// Rows arrive in order: each goes to the sink as soon as it is decoded, and
// decoding stops at the canvas's last row.
bool StreamRows(LzwDecoder& pixels, const Layout& layout, const Palette& palette,
                StripWriter& strips);

// Interlaced rows arrive in four passes: their visible indexes are gathered
// first, one byte per pixel, then composed top down. Decoding stops once the
// last visible row is in; rows below the canvas are passed over.
bool GatherInterlacedRows(LzwDecoder& pixels, const Layout& layout, const Palette& palette,
                          StripWriter& strips);

}  // namespace pushnote::image
