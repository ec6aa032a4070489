#include "text/convert_to_utf8.h"

#include <cstring>

#include "base/failure.h"
#include "base/memory.h"
#include "text/code_page.h"

namespace pushnote {

bool ConvertToUtf8(const char* source, char* destination, std::int32_t& length) {
    length = 0;
    const int wideCount = codepage::AnsiToWide(source, nullptr, 0);
    Buffer wide = Buffer::Obtain(static_cast<std::size_t>(wideCount) * 2 + 2);
    if (!wide) Raise(-30);
    auto* wideText = reinterpret_cast<char16_t*>(wide.data());
    codepage::AnsiToWide(source, wideText, wideCount);
    wideText[wideCount] = u'\0';

    const int utf8Count = codepage::WideToUtf8(wideText, nullptr, 0);
    if (!destination) {
        length = utf8Count;
        return true;
    }

    Buffer utf8 = Buffer::ObtainZeroed(static_cast<std::size_t>(utf8Count) * 2);
    if (!utf8) Raise(-30);
    codepage::WideToUtf8(wideText, utf8.data(), utf8Count);
    length = static_cast<std::int32_t>(std::strlen(utf8.data()));
    std::memcpy(destination, utf8.data(), static_cast<std::size_t>(length));
    return true;
}

}  // namespace pushnote
