#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pushnote::inbox {

struct ImageInfo {
    std::string type;  // "image/jpeg" or "image/png"
    int width = 0;
    int height = 0;
};

// Recognises a JPEG or PNG image by its bytes, whatever its part claims.
// Returns nothing for anything else, a truncated header included.
std::optional<ImageInfo> InspectImage(std::string_view bytes);

}  // namespace pushnote::inbox
