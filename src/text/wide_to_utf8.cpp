#include "text/wide_to_utf8.h"

namespace pushnote {
namespace {

constexpr char32_t kReplacement = U'\uFFFD';

bool IsHighSurrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The code point at text, which then points past it.
char32_t NextCodePoint(const wchar_t*& text) {
    const auto unit = static_cast<char32_t>(*text++);
    if constexpr (sizeof(wchar_t) == 2) {
        if (IsHighSurrogate(unit) && IsLowSurrogate(static_cast<char32_t>(*text))) {
            const auto low = static_cast<char32_t>(*text++);
            return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        }
    }
    if (IsHighSurrogate(unit) || IsLowSurrogate(unit) || unit > 0x10FFFF) return kReplacement;
    return unit;
}

// Writes the UTF-8 form of code to destination (when given); its byte count.
int Encode(char32_t code, char* destination) {
    unsigned char bytes[4];
    int count = 0;
    if (code < 0x80) {
        bytes[count++] = static_cast<unsigned char>(code);
    } else if (code < 0x800) {
        bytes[count++] = static_cast<unsigned char>(0xC0 | (code >> 6));
        bytes[count++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        bytes[count++] = static_cast<unsigned char>(0xE0 | (code >> 12));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    } else {
        bytes[count++] = static_cast<unsigned char>(0xF0 | (code >> 18));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
        bytes[count++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
    }
    for (int i = 0; destination && i < count; ++i) destination[i] = static_cast<char>(bytes[i]);
    return count;
}

}  // namespace

void ConvertToUtf8(const wchar_t* source, char* destination, std::int32_t& length) noexcept {
    std::int32_t count = 0;
    while (*source) {
        count += Encode(NextCodePoint(source), destination ? destination + count : nullptr);
    }
    length = destination ? count : count + 1;
}

}  // namespace pushnote
