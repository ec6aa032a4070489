#pragma once

namespace pushnote::codepage {

// The two platform conversions behind ConvertToUtf8, with the contract of the
// Windows kernel calls they stand for: the source is zero-terminated and the
// terminator is converted too; with capacity 0 only the needed count (in
// units, terminator included) is returned; 0 means failure. Bytes or units
// that cannot be mapped become U+FFFD.
int AnsiToWide(const char* source, char16_t* destination, int capacity) noexcept;
int WideToUtf8(const char16_t* source, char* destination, int capacity) noexcept;

}  // namespace pushnote::codepage
