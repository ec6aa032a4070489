#include "image/detect_image_type.h"

#include <cstring>

namespace pushnote {
namespace {

constexpr std::size_t kMaxExtensionLength = 10;

struct AcceptedType {
    const char* extension;  // upper case, as compared
    const char* uploadExtension;
    const char* subtype;
    bool needsConversion;
};

constexpr AcceptedType kAcceptedTypes[] = {
    {"JPEG", "jpg", "jpeg", false},
    {"JPG", "jpg", "jpeg", false},
    {"PNG", "png", "png", false},
    {"GIF", "jpg", "jpeg", true},
};

// Only a-z change: the path is ANSI text, whose other bytes are no letters to us.
void UpperCaseAscii(char* text) {
    for (; *text; ++text) {
        if (*text >= 'a' && *text <= 'z') *text = static_cast<char>(*text - 'a' + 'A');
    }
}

}  // namespace

const char* DetectImageType(const char* path, const char*& subtype,
                            bool& needsConversion) noexcept {
    needsConversion = false;
    subtype = "";
    const char* dot = path ? std::strrchr(path, '.') : nullptr;
    if (!dot) return nullptr;
    const char* extension = dot + 1;
    if (std::strlen(extension) > kMaxExtensionLength) return nullptr;

    char upper[kMaxExtensionLength + 1];
    std::strcpy(upper, extension);
    UpperCaseAscii(upper);
    for (const AcceptedType& type : kAcceptedTypes) {
        if (std::strcmp(upper, type.extension) == 0) {
            subtype = type.subtype;
            needsConversion = type.needsConversion;
            return type.uploadExtension;
        }
    }
    return nullptr;
}

}  // namespace pushnote
