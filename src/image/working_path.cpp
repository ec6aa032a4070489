#include "image/working_path.h"

#include <cstring>
#include <cwchar>

namespace pushnote {
namespace {

std::size_t LengthOf(const char* text) {
    return std::strlen(text);
}
std::size_t LengthOf(const wchar_t* text) {
    return std::wcslen(text);
}

bool ToNative(const char* path, PathChar* destination, std::size_t capacity) {
    return files::NativePathFromAnsi(path, destination, capacity);
}
bool ToNative(const wchar_t* path, PathChar* destination, std::size_t capacity) {
    return files::NativePathFromWide(path, destination, capacity);
}

}  // namespace

bool WorkingPath::Assign(HostText path) noexcept {
    const bool assigned = std::visit(
        [this](auto hostPath) {
            return LengthOf(hostPath) <= kMaxHostLength && ToNative(hostPath, text, kSize);
        },
        path);
    if (!assigned) text[0] = PathChar{};
    return assigned;
}

}  // namespace pushnote
