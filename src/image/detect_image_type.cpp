#include "image/detect_image_type.h"

#include <cstring>
#include <string_view>
#include <type_traits>

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

// Only a-z change: the path is ANSI or wide text, whose other characters are
// no letters to us. Those outside ASCII become a byte no accepted extension has.
template <typename Unit>
void CopyUpperCaseAscii(std::basic_string_view<Unit> text, char* upper) {
    for (const Unit unit : text) {
        const auto code = static_cast<char32_t>(static_cast<std::make_unsigned_t<Unit>>(unit));
        if (code >= U'a' && code <= U'z') {
            *upper++ = static_cast<char>(code - U'a' + U'A');
        } else {
            *upper++ = code < 0x80 ? static_cast<char>(code) : '\x80';
        }
    }
    *upper = '\0';
}

template <typename Unit>
const char* Classify(const Unit* path, const char*& subtype, bool& needsConversion) {
    needsConversion = false;
    subtype = "";
    if (!path) return nullptr;
    const std::basic_string_view<Unit> text(path);
    const std::size_t dot = text.rfind(Unit{'.'});
    if (dot == text.npos) return nullptr;
    const std::basic_string_view<Unit> extension = text.substr(dot + 1);
    if (extension.size() > kMaxExtensionLength) return nullptr;

    char upper[kMaxExtensionLength + 1];
    CopyUpperCaseAscii(extension, upper);
    for (const AcceptedType& type : kAcceptedTypes) {
        if (std::strcmp(upper, type.extension) == 0) {
            subtype = type.subtype;
            needsConversion = type.needsConversion;
            return type.uploadExtension;
        }
    }
    return nullptr;
}

}  // namespace

const char* DetectImageType(const char* path, const char*& subtype,
                            bool& needsConversion) noexcept {
    return Classify(path, subtype, needsConversion);
}

const char* DetectImageType(const wchar_t* path, const char*& subtype,
                            bool& needsConversion) noexcept {
    return Classify(path, subtype, needsConversion);
}

}  // namespace pushnote
