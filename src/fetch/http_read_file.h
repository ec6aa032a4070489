#pragma once

#include <cstddef>
#include <cstdint>

#include "frame/failure.h"
#include "http/http_client.h"

namespace pushnote {

inline constexpr const char* kReaderAgent = "PNAuthentication";
inline constexpr std::size_t kMaxUrlLength = 1023;

// Fetches the text at url into the caller's buffer of size bytes (compared as
// unsigned), zero-terminated and cut to size - 1 bytes. A body read in several
// pieces is gathered in order; what does not fit is read and dropped, and a
// zero byte ends the text. The HTTP status is not examined, and a failure of
// the network leaves the empty text with result 0. A null url reads as the
// empty text. size 0 or a null buffer: -20 with nothing written; a url longer
// than kMaxUrlLength: -20; no memory: -30.
ResultCode HttpReadFile(const char* url, char* buffer, std::int32_t size,
                        http::Client& client) noexcept;

}  // namespace pushnote
