#pragma once

#include <optional>
#include <string>

#include <httplib.h>

namespace pushnote::request_reading {

// Reads the whole request body, multipart bodies byte for byte (httplib would
// split them into parts and keep none of their bytes). Nothing when the
// client left before the body was complete.
std::optional<std::string> ReadBody(const httplib::Request& request,
                                    const httplib::ContentReader& reader);

}  // namespace pushnote::request_reading
