#include "text/convert_to_utf8.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/failure.h"
#include "support/memory_probe.h"

namespace pushnote {
namespace {

// Windows runs under its default ANSI code page 1252; Linux under a UTF-8 locale.
#if defined(_WIN32)
constexpr bool kUtf8CodePage = false;
#else
constexpr bool kUtf8CodePage = true;
#endif

class ConvertToUtf8Test : public ::testing::Test {
protected:
    void SetUp() override {
#if !defined(_WIN32)
        setenv("LC_ALL", "C.UTF-8", 1);
#endif
    }
};

struct ConversionCase {
    const char* name;
    std::string ansi;
    std::string utf8;
};

std::vector<ConversionCase> Cases() {
    std::vector<ConversionCase> cases = {
        {"empty", "", ""},
        {"ascii", "Hello, world! &=+%", "Hello, world! &=+%"},
        {"long_ascii", std::string(5000, 'x'), std::string(5000, 'x')},
    };
    if (kUtf8CodePage) {
        cases.push_back({"two_byte", "caf\xC3\xA9", "caf\xC3\xA9"});
        cases.push_back({"four_byte", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"});
        cases.push_back({"invalid_lead", "a\xE9z", "a\xEF\xBF\xBDz"});
        cases.push_back({"truncated_at_end", "a\xC3", "a\xEF\xBF\xBD"});
    } else {
        cases.push_back({"latin1", "caf\xE9", "caf\xC3\xA9"});
        cases.push_back({"euro_sign", "\x80", "\xE2\x82\xAC"});
        cases.push_back({"all_high", "\xFF\xE0", "\xC3\xBF\xC3\xA0"});
    }
    return cases;
}

class Conversion : public ConvertToUtf8Test,
                   public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(Conversion, MeasureCountsTheTerminatorConvertDoesNotWriteOne) {
    const ConversionCase& c = GetParam();
    std::int32_t measured = -1;
    EXPECT_TRUE(ConvertToUtf8(c.ansi.c_str(), nullptr, measured));
    EXPECT_EQ(measured, static_cast<std::int32_t>(c.utf8.size() + 1));

    std::string destination(c.utf8.size() + 8, '#');
    std::int32_t converted = -1;
    EXPECT_TRUE(ConvertToUtf8(c.ansi.c_str(), destination.data(), converted));
    EXPECT_EQ(converted, static_cast<std::int32_t>(c.utf8.size()));
    EXPECT_EQ(destination.substr(0, c.utf8.size()), c.utf8);
    EXPECT_EQ(destination[c.utf8.size()], '#') << "no terminator is written";
}

INSTANTIATE_TEST_SUITE_P(Texts, Conversion, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ConvertToUtf8Test, ShortMemoryRaisesAndReleasesScratch) {
    for (int failAt : {1, 2}) {
        testing::MemoryProbe probe(failAt);
        char destination[16] = {};
        std::int32_t length = 7;
        try {
            ConvertToUtf8("abc", destination, length);
            ADD_FAILURE() << "request " << failAt << " failed without a raise";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code, -30);
        }
        EXPECT_EQ(length, 0);
        EXPECT_EQ(probe.Outstanding(), 0u);
    }
}

}  // namespace
}  // namespace pushnote
