#include "text/wide_to_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace pushnote {
namespace {

struct WideCase {
    const char* name;
    std::wstring wide;
    std::string utf8;
};

// The same table on both platforms: the compiler writes an emoji as a UTF-16
// pair on Windows and as one unit on Linux.
const WideCase kCases[] = {
    {"empty", L"", ""},
    {"ascii", L"Tea & cake = 100%", "Tea & cake = 100%"},
    {"accented_latin", L"caf\u00E9 \u00FC\u00DF", "caf\xC3\xA9 \xC3\xBC\xC3\x9F"},
    {"euro_and_cjk", L"\u20AC \u5199\u771F", "\xE2\x82\xAC \xE5\x86\x99\xE7\x9C\x9F"},
    {"emoji", L"\U0001F4C8\u2705", "\xF0\x9F\x93\x88\xE2\x9C\x85"},
    {"last_code_point", L"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
    {"lone_high_surrogate", std::wstring{L'a', wchar_t(0xD83D), L'z'}, "a\xEF\xBF\xBDz"},
    {"lone_low_surrogate", std::wstring{wchar_t(0xDCC8)}, "\xEF\xBF\xBD"},
    {"high_surrogate_at_the_end", std::wstring{L'a', wchar_t(0xDBFF)}, "a\xEF\xBF\xBD"},
    {"reversed_pair", std::wstring{wchar_t(0xDCC8), wchar_t(0xD83D)}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
};

class WideToUtf8 : public ::testing::TestWithParam<WideCase> {};

TEST_P(WideToUtf8, MeasuresWithTheTerminatorAndConvertsWithoutIt) {
    const WideCase& c = GetParam();
    std::int32_t measured = -1;
    ConvertToUtf8(c.wide.c_str(), nullptr, measured);
    EXPECT_EQ(measured, static_cast<std::int32_t>(c.utf8.size() + 1));

    std::string converted(c.utf8.size() + 1, '#');
    std::int32_t length = -1;
    ConvertToUtf8(c.wide.c_str(), converted.data(), length);
    EXPECT_EQ(length, static_cast<std::int32_t>(c.utf8.size()));
    EXPECT_EQ(converted, c.utf8 + "#") << "no terminator is written";
}

INSTANTIATE_TEST_SUITE_P(Texts, WideToUtf8, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Only UTF-32 has units past U+10FFFF.
TEST(WideToUtf8Units, PastTheLastCodePointIsReplaced) {
    if constexpr (sizeof(wchar_t) == 4) {
        const wchar_t text[] = {static_cast<wchar_t>(0x110000), 0};
        char utf8[4] = {};
        std::int32_t length = 0;
        ConvertToUtf8(text, utf8, length);
        EXPECT_EQ(std::string(utf8, static_cast<std::size_t>(length)), "\xEF\xBF\xBD");
    }
}

}  // namespace
}  // namespace pushnote
