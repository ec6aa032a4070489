// libFuzzer target: ConvertToUtf8 through iconv, in the character set of the
// locale it runs under (run_fuzz.sh runs it under several).
//
// Input: the host text, up to its first zero byte.
#include <langinfo.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/failure.h"
#include "text/convert_to_utf8.h"

namespace {

enum class Charset { Utf8, SingleByte };
Charset g_charset = Charset::Utf8;

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", what);
        std::abort();
    }
}

// The number of code points of valid UTF-8 text (shortest forms, no
// surrogates, at most U+10FFFF), or -1 when it is not valid.
long CountUtf8(const std::string& text) {
    long count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80                    ? 0
                          : lead >= 0xC2 && lead <= 0xDF ? 1
                          : lead >= 0xE0 && lead <= 0xEF ? 2
                          : lead >= 0xF0 && lead <= 0xF4 ? 3
                                                         : -1;
        if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra)) return -1;
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return -1;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t smallest[] = {0, 0x80, 0x800, 0x10000};
        if (code < smallest[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return -1;
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::setlocale(LC_ALL, "");
    const std::string name = nl_langinfo(CODESET);
    std::setlocale(LC_ALL, "C");
    // The C locale's plain ASCII is taken as UTF-8.
    g_charset = name == "UTF-8" || name == "ANSI_X3.4-1968" ? Charset::Utf8 : Charset::SingleByte;
    std::fprintf(stderr, "convert_to_utf8_fuzz: locale character set %s\n", name.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data),
                           strnlen(reinterpret_cast<const char*>(data), size));

    std::int32_t measured = -1;
    Check(pushnote::ConvertToUtf8(text.c_str(), nullptr, measured), "measure completes");
    Check(measured >= 1, "the terminator is counted");

    std::string converted(static_cast<std::size_t>(measured), '\0');
    std::int32_t length = -1;
    Check(pushnote::ConvertToUtf8(text.c_str(), converted.data(), length), "convert completes");
    Check(length + 1 == measured, "measure counts the terminator, convert does not");
    converted.resize(static_cast<std::size_t>(length));
    Check(converted.find('\0') == std::string::npos, "no zero byte inside");

    const long points = CountUtf8(converted);
    Check(points >= 0, "the output is valid UTF-8");
    if (g_charset == Charset::SingleByte) {
        Check(points == static_cast<long>(text.size()), "one character per byte");
    } else if (CountUtf8(text) >= 0) {
        Check(converted == text, "valid UTF-8 passes unchanged");
    } else {
        Check(converted.find("\xEF\xBF\xBD") != std::string::npos, "invalid bytes are replaced");
    }
    return 0;
}
