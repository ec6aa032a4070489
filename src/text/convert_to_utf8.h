#pragma once

#include <cstdint>

namespace pushnote {

// Converts zero-terminated ANSI text to UTF-8.
// Measure mode (destination null): length receives the UTF-8 byte count
// including the terminator. Convert mode: destination receives the UTF-8
// bytes without a terminator and length their count; size destination from a
// measure and zero-fill it first. Raises -30 when scratch memory is short.
bool ConvertToUtf8(const char* source, char* destination, std::int32_t& length);

}  // namespace pushnote
