#pragma once

#include "image/working_path.h"

namespace pushnote {

// Converts the GIF at source (a native path) to a JPEG file beside it: same
// name, extension ".jpg" (source must have an extension), whose path goes to
// destination. The
// JPEG is written to a temporary file in the same folder and moved into place
// only when complete, so a failure at any step leaves an older .jpg untouched
// and nothing new on disk. False on any failure.
bool ConvertImageToJpeg(const PathChar* source, WorkingPath& destination) noexcept;

}  // namespace pushnote
