// pushnote.hpp over the shared library: result codes as std::error_code with
// the texts of the one table, escaping, and the checks made before any request.
#include <gtest/gtest.h>

#include <string>

#include "pushnote.hpp"

namespace {

TEST(CppLayerTest, EveryResultCodeSaysTheTextOfTheTable) {
#define PUSHNOTE_EXPECT_TEXT(constant, text) \
    EXPECT_EQ(pushnote::make_error_code(pushnote::result{constant}).message(), text);
    PUSHNOTE_RESULT_TEXTS(PUSHNOTE_EXPECT_TEXT)
#undef PUSHNOTE_EXPECT_TEXT
    EXPECT_EQ(std::error_code(-99, pushnote::result_category()).message(),
              PUSHNOTE_UNKNOWN_RESULT_TEXT);
}

TEST(CppLayerTest, ResultsAreErrorCodesOfThePushNoteCategory) {
    const std::error_code status = pushnote::result::status_not_200;
    EXPECT_EQ(status.value(), -6);
    EXPECT_STREQ(status.category().name(), "pushnote");
    EXPECT_TRUE(status);
    EXPECT_FALSE(std::error_code(pushnote::result::ok));
    EXPECT_EQ(status, std::error_code(PUSHNOTE_ERROR_STATUS, pushnote::result_category()));
}

TEST(CppLayerTest, EscapesExactlyTheFourFormCharacters) {
    EXPECT_EQ(pushnote::escape_form_text("a%b&c+d=e"), "a%25b%26c%2Bd%3De");
    EXPECT_EQ(pushnote::escape_form_text("caf\xC3\xA9 ?#/ 1 2"), "caf\xC3\xA9 ?#/ 1 2");
    EXPECT_EQ(pushnote::escape_form_text(""), "");
    EXPECT_EQ(pushnote::escape_form_text(L"\U0001F680 a&b"), L"\U0001F680 a%26b");
}

TEST(CppLayerTest, SendWithoutTokenIsNoToken) {
    ASSERT_TRUE(pushnote::set_token(""));
    EXPECT_EQ(pushnote::send("Hello"), pushnote::result::no_token);
    EXPECT_EQ(pushnote::send(L"Hello \u2705"), pushnote::result::no_token);
}

TEST(CppLayerTest, RefusesAToken257BytesLong) {
    EXPECT_TRUE(pushnote::set_token(std::string(256, 't')));
    EXPECT_FALSE(pushnote::set_token(std::string(257, 't')));
}

TEST(CppLayerTest, EscapedMessageCountsTowardsTheLimit) {
    ASSERT_TRUE(pushnote::set_token("token"));
    // 1400 "&" escape to 4200 bytes, over the 4087-byte limit.
    EXPECT_EQ(pushnote::send(std::string(1400, '&')), pushnote::result::too_long);
    EXPECT_EQ(pushnote::send(std::wstring(1400, L'&')), pushnote::result::too_long);
}

TEST(CppLayerTest, FetchRefusesALimitOverTheBufferSize) {
    std::error_code error;
    EXPECT_EQ(pushnote::fetch("https://localhost/", error, std::size_t{1} << 31), "");
    EXPECT_EQ(error, pushnote::result::too_long);
}

TEST(CppLayerTest, FetchRefusesAUrlOver1023Bytes) {
    std::error_code error;
    EXPECT_EQ(pushnote::fetch("https://localhost/" + std::string(1006, 'u'), error), "");
    EXPECT_EQ(error, pushnote::result::too_long);
}

}  // namespace
