#pragma once

#include <cstddef>

#include "base/failure.h"
#include "base/memory.h"

namespace pushnote {

// The "message" field: delimiter, line break, its disposition line, an empty
// line, the message and a line break, in UTF-8. length receives its byte count;
// the buffer also holds a terminator after them. On failure the result is
// empty and error receives -20 (message too long for the scratch text) or -30.
Buffer BuildMessagePart(const char* message, const char* delimiter, std::size_t& length,
                        ResultCode& error) noexcept;

// The same field for wide text: the same limit, counted in wchar_t units, then
// the message goes straight to UTF-8 into the part. -20 or -30 as above.
Buffer BuildMessagePart(const wchar_t* message, const char* delimiter, std::size_t& length,
                        ResultCode& error) noexcept;

}  // namespace pushnote
