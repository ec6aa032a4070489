#pragma once

#include <cstddef>
#include <string_view>

#include "image/path_char.h"

namespace pushnote {

// A file path as the platform's file calls take it.
using PathView = std::basic_string_view<PathChar>;

}  // namespace pushnote

// The conversions from what hosts pass, one file per platform.
namespace pushnote::files {

// An ANSI path as the platform's ANSI file calls read it: on Windows through
// the code page those calls use (CreateFileA's), elsewhere the same bytes.
// False when it cannot be converted or its native form needs more than
// capacity units with the terminator.
bool NativePathFromAnsi(const char* path, PathChar* destination, std::size_t capacity) noexcept;

// A wide path: on Windows the same units; elsewhere UTF-8, whatever the
// locale. False as above.
bool NativePathFromWide(const wchar_t* path, PathChar* destination, std::size_t capacity) noexcept;

}  // namespace pushnote::files
