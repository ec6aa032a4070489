#include "request_body.h"

namespace pushnote::request_reading {

// The multipart type is hidden from httplib while reading. The request is the
// server's own non-const object, lent to the handler.
std::optional<std::string> ReadBody(const httplib::Request& request,
                                    const httplib::ContentReader& reader) {
    auto type = const_cast<httplib::Request&>(request).headers.equal_range("Content-Type").first;
    const bool multipart = request.is_multipart_form_data();
    const std::string original = multipart ? type->second : std::string();
    if (multipart) type->second = "application/octet-stream";
    std::string body;
    const bool complete = reader([&body](const char* data, std::size_t size) {
        body.append(data, size);
        return true;
    });
    if (multipart) type->second = original;
    if (!complete) return std::nullopt;
    return body;
}

}  // namespace pushnote::request_reading
