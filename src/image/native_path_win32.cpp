// Host paths for the wide file calls.
#include <windows.h>

#include <cwchar>

#include "image/native_path.h"

namespace pushnote::files {

bool NativePathFromAnsi(const char* path, PathChar* destination, std::size_t capacity) noexcept {
    // The ANSI file calls read names in the OEM code page once a host has
    // asked for it (SetFileApisToOEM).
    const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
    return MultiByteToWideChar(codePage, 0, path, -1, destination, static_cast<int>(capacity)) != 0;
}

bool NativePathFromWide(const wchar_t* path, PathChar* destination, std::size_t capacity) noexcept {
    const std::size_t length = std::wcslen(path);
    if (length >= capacity) return false;
    std::wmemcpy(destination, path, length + 1);
    return true;
}

}  // namespace pushnote::files
