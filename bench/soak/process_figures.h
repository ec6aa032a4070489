#pragma once

#include <cstdint>

namespace pushnote::soak {

// What a leak of handles or memory would make grow in this process, and
// where each figure came from.
struct ProcessFigures {
    std::uint64_t handles = 0;       // open handles (Windows) or descriptors (POSIX)
    std::uint64_t privateBytes = 0;  // committed memory that is this process's own
    const char* handlesFrom = "";
    const char* privateBytesFrom = "";
};

ProcessFigures ReadProcessFigures();

}  // namespace pushnote::soak
