#pragma once

#include <cstddef>

#include "base/failure.h"

namespace pushnote::multipart {

// The boundary of one body: 24 hyphens and 16 lowercase hex digits, and its
// delimiter, the same with two more hyphens in front.
struct Boundary {
    char text[41];
    char delimiter[43];
};

// The boundary for a body written with the fixed delimiter at the offsets
// given (the message part's start, the image part's start, the closing
// delimiter): the fixed one, unless its delimiter also occurs somewhere else
// in the body, in the message or the image, where it would end its part
// early. Then the next boundary after it (its hex digits counted up as a
// number) whose delimiter occurs nowhere in the body, and the delimiters at
// the offsets are rewritten to it; the body keeps its length. -30 when the
// memory to choose cannot be had.
ResultCode ChooseBoundary(char* body, std::size_t length, const std::size_t (&delimiterOffsets)[3],
                          Boundary& chosen) noexcept;

}  // namespace pushnote::multipart
