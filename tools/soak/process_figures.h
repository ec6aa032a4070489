#pragma once

#include <cstdint>

namespace pushnote::soak {

// What a leak of handles or memory would make grow in this process.
struct ProcessFigures {
    std::uint64_t handles = 0;       // open handles (Windows) or descriptors (POSIX)
    std::uint64_t privateBytes = 0;  // committed memory that is this process's own
};

ProcessFigures ReadProcessFigures();

// The platform's names for the two figures.
extern const char* const kHandlesLabel;
extern const char* const kPrivateBytesLabel;

}  // namespace pushnote::soak
