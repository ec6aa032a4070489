#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include <httplib.h>

namespace pushnote::request_reading {

// Whether the body comes in chunks, as the server reads it: the
// Transfer-Encoding "chunked" in any case.
bool IsChunked(const httplib::Request& request);

// Reads the whole request body, multipart bodies byte for byte (httplib would
// split them into parts and keep none of their bytes). Nothing when the
// client left before the body was complete.
std::optional<std::string> ReadBody(const httplib::Request& request,
                                    const httplib::ContentReader& reader);

// The same, reading no further than limit bytes, chunked or not: a body
// longer than that stops the read as soon as it passes the limit.
struct BoundedBody {
    std::string bytes;
    bool complete = false;  // read to its end
    bool tooLong = false;   // stopped past the limit
};
BoundedBody ReadBodyUpTo(const httplib::Request& request, const httplib::ContentReader& reader,
                         std::uint64_t limit);

}  // namespace pushnote::request_reading
