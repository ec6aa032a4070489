#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace pushnote::request_reading {

struct Part {
    std::string name;
    std::string filename;
    std::string contentType;
    std::string_view content;  // into the parsed body
};

struct MultipartBody {
    std::vector<Part> parts;
    std::string error;  // empty when the whole body parsed
};

// Splits a multipart/form-data body by the boundary of its Content-Type value.
MultipartBody ParseMultipart(std::string_view contentType, std::string_view body);

}  // namespace pushnote::request_reading
