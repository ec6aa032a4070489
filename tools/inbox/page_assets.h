#pragma once

#include <string_view>

namespace pushnote::inbox {

// A file of the page, built into the program.
struct PageAsset {
    std::string_view path;  // "/index.html", "/inbox.js", ...
    std::string_view bytes;
};

// The asset served at path, or nullptr.
const PageAsset* FindPageAsset(std::string_view path);

}  // namespace pushnote::inbox
