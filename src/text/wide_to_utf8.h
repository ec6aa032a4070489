#pragma once

#include <cstdint>

namespace pushnote {

// Converts zero-terminated wide text straight to UTF-8, with no code page or
// locale in between: UTF-16 where wchar_t has 16 bits (Windows), UTF-32 where
// it has 32. A surrogate that is not half of a UTF-16 pair, and any value past
// U+10FFFF, becomes U+FFFD. The two modes of the ANSI ConvertToUtf8: measure
// (destination null) gives the byte count with the terminator; convert writes
// the bytes without one and gives their count. Needs no memory of its own.
void ConvertToUtf8(const wchar_t* source, char* destination, std::int32_t& length) noexcept;

}  // namespace pushnote
