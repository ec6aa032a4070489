#pragma once

#include <cstddef>
#include <cstdint>

#include "base/failure.h"
#include "http/http_client.h"

namespace pushnote {

inline constexpr const char* kReaderAgent = "PNAuthentication";
inline constexpr std::size_t kMaxUrlLength = 1023;

// Fetches the text at url into the caller's buffer of size bytes,
// zero-terminated and cut to size - 1 bytes. A body read in several
// pieces is gathered in order; reading stops once the text is complete (size -
// 1 bytes held, or a zero byte, which ends the text), and the rest is never
// read. The HTTP status is not examined. A failure of the network, or a body
// that brings less than 1 KiB per timeout period, ends the fetch with result 0
// and the text received so far (the empty text before any). A null url reads as the
// empty text. size 0 or less, or a null buffer: -20 with nothing written; a url longer
// than kMaxUrlLength: -20; no memory: -30.
ResultCode HttpReadFile(const char* url, char* buffer, std::int32_t size,
                        http::Client& client) noexcept;

}  // namespace pushnote
