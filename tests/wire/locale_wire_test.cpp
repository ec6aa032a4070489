// What the library sends, byte for byte, when the host's locale is not UTF-8:
// each process reads its locale's character set once, so the build runs this
// program once per locale (LC_ALL, LOCPATH), naming the character set that
// locale must have in PUSHNOTE_TEST_CHARSET; the cases of other sets skip.
#include <gtest/gtest.h>
#include <langinfo.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "support/loaded_library.h"
#include "support/recorded_requests.h"

namespace pushnote::testing {
namespace {

struct LocaleCase {
    const char* name;
    const char* charset;  // as the locale names it
    std::string message;  // in that character set
    std::string arrives;  // in UTF-8
};

const LocaleCase kCases[] = {
    {"cp1252_letters", "CP1252", "caf\xE9 \xFC\xDF", "caf\xC3\xA9 \xC3\xBC\xC3\x9F"},
    {"cp1252_euro_and_quotes", "CP1252", "\x80 \x93q\x94",
     "\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D"},
    {"cp1252_unmapped_byte", "CP1252", "a\x81z", "a\xEF\xBF\xBDz"},
    {"latin1_letters", "ISO-8859-1", "caf\xE9 \xFF", "caf\xC3\xA9 \xC3\xBF"},
    {"latin1_c1_control", "ISO-8859-1", "\x80", "\xC2\x80"},
    // The C locale names plain ASCII; host text is then taken as UTF-8.
    {"c_utf8_passes", "ANSI_X3.4-1968", "caf\xC3\xA9 \xE2\x82\xAC", "caf\xC3\xA9 \xE2\x82\xAC"},
    {"c_invalid_utf8", "ANSI_X3.4-1968", "a\xE9z", "a\xEF\xBF\xBDz"},
};

std::string LocaleCharset() {
    std::setlocale(LC_ALL, "");
    const std::string charset = nl_langinfo(CODESET);
    std::setlocale(LC_ALL, "C");
    return charset;
}

std::string ExpectedCharset() {
    const char* charset = std::getenv("PUSHNOTE_TEST_CHARSET");
    return charset ? charset : "";
}

TEST(Locale, IsTheOneTheBuildAskedFor) {
    EXPECT_EQ(LocaleCharset(), ExpectedCharset());
}

class LocaleWire : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleWire, TheMessageArrivesInUtf8) {
    const LocaleCase& c = GetParam();
    if (ExpectedCharset() != c.charset) GTEST_SKIP() << "for " << c.charset;

    LoadedLibrary library(LibraryUnderTest());
    ASSERT_TRUE(library.Loaded());
    auto setAccessToken = library.Find<SetAccessTokenFunction>("SetAccessToken");
    auto pushNote = library.Find<PushNoteFunction>("PushNote");
    ASSERT_TRUE(setAccessToken && pushNote);
    const RecordedRequests records;
    const std::size_t before = records.Count();

    ASSERT_EQ(setAccessToken("locale-token"), 1);
    EXPECT_EQ(pushNote(c.message.c_str()), PUSHNOTE_OK);
    setAccessToken("");
    ASSERT_EQ(records.Count(), before + 1);
    EXPECT_EQ(records.Newest().body, "message=" + c.arrives);
}

// Wide text goes to UTF-8 straight, whatever the locale.
TEST(LocaleWide, TheMessageArrivesAsItsExactUtf8) {
    LoadedLibrary library(LibraryUnderTest());
    ASSERT_TRUE(library.Loaded());
    auto setAccessToken = library.Find<SetAccessTokenFunction>("SetAccessToken");
    auto pushNoteW = library.Find<PushNoteWFunction>("PushNoteW");
    ASSERT_TRUE(setAccessToken && pushNoteW);
    const RecordedRequests records;
    const std::size_t before = records.Count();

    ASSERT_EQ(setAccessToken("locale-token"), 1);
    EXPECT_EQ(pushNoteW(L"\U0001F514 caf\u00E9 \u5199\u771F \u20AC"), PUSHNOTE_OK);
    setAccessToken("");
    ASSERT_EQ(records.Count(), before + 1);
    EXPECT_EQ(records.Newest().body,
              "message=\xF0\x9F\x94\x94 caf\xC3\xA9 \xE5\x86\x99\xE7\x9C\x9F \xE2\x82\xAC");
}

INSTANTIATE_TEST_SUITE_P(Messages, LocaleWire, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote::testing
