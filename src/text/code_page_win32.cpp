#include <windows.h>

#include "text/code_page.h"

namespace pushnote::codepage {

int AnsiToWide(const char* source, char16_t* destination, int capacity) noexcept {
    return MultiByteToWideChar(CP_ACP, 0, source, -1, reinterpret_cast<wchar_t*>(destination),
                               capacity);
}

int WideToUtf8(const char16_t* source, char* destination, int capacity) noexcept {
    return WideCharToMultiByte(CP_UTF8, 0, reinterpret_cast<const wchar_t*>(source), -1,
                               destination, capacity, nullptr, nullptr);
}

}  // namespace pushnote::codepage
