// Host paths for the POSIX file calls, which take the bytes of a name.
#include <cstdint>
#include <cstring>

#include "image/native_path.h"
#include "text/wide_to_utf8.h"

namespace pushnote::files {

bool NativePathFromAnsi(const char* path, PathChar* destination, std::size_t capacity) noexcept {
    const std::size_t length = std::strlen(path);
    if (length >= capacity) return false;
    std::memcpy(destination, path, length + 1);
    return true;
}

// UTF-8 whatever the locale, as file names made by other Unicode hosts are.
bool NativePathFromWide(const wchar_t* path, PathChar* destination, std::size_t capacity) noexcept {
    std::int32_t measured = 0;
    ConvertToUtf8(path, nullptr, measured);
    if (static_cast<std::size_t>(measured) > capacity) return false;
    std::int32_t converted = 0;
    ConvertToUtf8(path, destination, converted);
    destination[converted] = '\0';
    return true;
}

}  // namespace pushnote::files
