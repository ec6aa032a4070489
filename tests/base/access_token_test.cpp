#include "base/access_token.h"

#include <gtest/gtest.h>

#include <string>

namespace pushnote {
namespace {

struct TokenCase {
    const char* name;
    std::string token;
    bool accepted;
};

class AccessTokenTest : public ::testing::TestWithParam<TokenCase> {};

TEST_P(AccessTokenTest, StoresOrKeepsThePrevious) {
    ASSERT_TRUE(SetAccessToken("previous"));
    const TokenCase& c = GetParam();
    EXPECT_EQ(SetAccessToken(c.token.c_str()), c.accepted);
    EXPECT_EQ(std::string(AccessToken()), c.accepted ? c.token : "previous");
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, AccessTokenTest,
    ::testing::Values(TokenCase{"longest", std::string(256, 'a'), true},
                      TokenCase{"one_too_long", std::string(257, 'a'), false},
                      TokenCase{"empty", "", true},
                      TokenCase{"printable", "abc.DEF-123_~+/=", true},
                      TokenCase{"high_bytes", "t\xE9\xFF", true},
                      TokenCase{"carriage_return", "abc\rX-Injected: 1", false},
                      TokenCase{"line_feed", "abc\nX-Injected: 1", false},
                      TokenCase{"tab", "a\tb", false}, TokenCase{"delete", "a\x7F", false},
                      TokenCase{"unit_separator", "a\x1F", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AccessToken, NullEmptiesTheStore) {
    ASSERT_TRUE(SetAccessToken("x"));
    EXPECT_TRUE(SetAccessToken(nullptr));
    EXPECT_STREQ(AccessToken(), "");
}

}  // namespace
}  // namespace pushnote
