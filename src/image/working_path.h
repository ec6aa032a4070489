#pragma once

#include <cstddef>
#include <cstring>

namespace pushnote {

// The path one image call works with: the host's image path, or the JPEG file
// converted beside it. 259 characters and the terminator, the longest path the
// Windows ANSI file calls take.
struct WorkingPath {
    static constexpr std::size_t kSize = 260;
    char text[kSize] = {};

    // False, leaving the path empty, when path does not fit.
    bool Assign(const char* path) noexcept {
        const std::size_t length = std::strlen(path);
        if (length >= kSize) {
            text[0] = '\0';
            return false;
        }
        std::memcpy(text, path, length + 1);
        return true;
    }
};

}  // namespace pushnote
