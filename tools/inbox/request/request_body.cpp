#include "request_body.h"

#include <strings.h>

namespace pushnote::request_reading {

bool IsChunked(const httplib::Request& request) {
    return strcasecmp(request.get_header_value("Transfer-Encoding").c_str(), "chunked") == 0;
}

// The multipart type is hidden from httplib while reading. The request is the
// server's own non-const object, lent to the handler.
BoundedBody ReadBodyUpTo(const httplib::Request& request, const httplib::ContentReader& reader,
                         std::uint64_t limit) {
    auto type = const_cast<httplib::Request&>(request).headers.equal_range("Content-Type").first;
    const bool multipart = request.is_multipart_form_data();
    const std::string original = multipart ? type->second : std::string();
    if (multipart) type->second = "application/octet-stream";
    BoundedBody body;
    body.complete = reader([&body, limit](const char* data, std::size_t size) {
        if (size > limit - body.bytes.size()) {
            body.tooLong = true;
            return false;
        }
        body.bytes.append(data, size);
        return true;
    });
    if (multipart) type->second = original;
    return body;
}

std::optional<std::string> ReadBody(const httplib::Request& request,
                                    const httplib::ContentReader& reader) {
    BoundedBody body = ReadBodyUpTo(request, reader, std::numeric_limits<std::uint64_t>::max());
    if (!body.complete) return std::nullopt;
    return std::move(body.bytes);
}

}  // namespace pushnote::request_reading
