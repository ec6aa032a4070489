#pragma once

#include <cstddef>

#include "base/host_text.h"
#include "image/native_path.h"

namespace pushnote {

// The path one image call works with, in the platform's native form: the
// host's image path, or the JPEG file converted beside it.
struct WorkingPath {
    // 259 characters and the terminator, the longest path the Windows ANSI
    // file calls take: bytes of an ANSI path, wchar_t units of a wide one.
    static constexpr std::size_t kMaxHostLength = 259;
    // A wide character may take four bytes as a POSIX (UTF-8) name.
    static constexpr std::size_t kSize = kMaxHostLength * 4 + 1;
    PathChar text[kSize] = {};

    // False, leaving the path empty, when path is longer than kMaxHostLength
    // or cannot be converted.
    bool Assign(HostText path) noexcept;
};

}  // namespace pushnote
