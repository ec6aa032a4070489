#include "notify/message_part.h"

#include <gtest/gtest.h>

#include <string>

#include "image/multipart_expectations.h"
#include "support/memory_probe.h"

namespace pushnote {
namespace {

using testing::ExpectedMessagePart;
using testing::kDelimiterLine;
using testing::kWideningByte;
using testing::kWideningByteUtf8;
using testing::MemoryProbe;

std::string Repeat(const std::string& unit, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += unit;
    return text;
}

struct MessageCase {
    const char* name;
    std::string message;
    ResultCode error;
    std::string utf8Message;  // what the part carries when built
};

std::vector<MessageCase> Cases() {
    return {
        {"hi_makes_98_bytes", "Hi", 0, "Hi"},
        {"empty_message_keeps_the_field", "", 0, ""},
        {"form_characters_unchanged", "a&b=c+d%20", 0, "a&b=c+d%20"},
        {"line_breaks_unchanged", "one\r\ntwo", 0, "one\r\ntwo"},
        {"exactly_3999_bytes", std::string(3999, 'm'), 0, std::string(3999, 'm')},
        {"4000_bytes_too_long", std::string(4000, 'm'), -20, ""},
        // Within the host-text limit, past 4096 bytes once in UTF-8: no cap.
        {"3999_bytes_widening_past_4096", Repeat(kWideningByte, 3999), 0,
         Repeat(kWideningByteUtf8, 3999)},
    };
}

class BuildMessagePartTest : public ::testing::TestWithParam<MessageCase> {
protected:
    void SetUp() override { testing::UseTestCodePage(); }
};

TEST_P(BuildMessagePartTest, BuildsTheExactFieldOrRefusesIt) {
    const MessageCase& c = GetParam();
    MemoryProbe probe;
    std::size_t length = 777;
    ResultCode error = 777;
    {
        Buffer part = BuildMessagePart(c.message.c_str(), kDelimiterLine.c_str(), length, error);
        EXPECT_EQ(error, c.error);
        if (c.error == 0) {
            ASSERT_TRUE(part);
            EXPECT_EQ(std::string(part.data(), length), ExpectedMessagePart(c.utf8Message));
            // Zero-terminated after its bytes.
            EXPECT_EQ(part.data()[length], '\0');
        } else {
            EXPECT_FALSE(part);
            EXPECT_EQ(length, 0u);
        }
    }
    EXPECT_EQ(probe.Outstanding(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Messages, BuildMessagePartTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildMessagePart, TheHiExampleIs98Bytes) {
    testing::UseTestCodePage();
    std::size_t length = 0;
    ResultCode error = 0;
    Buffer part = BuildMessagePart("Hi", kDelimiterLine.c_str(), length, error);
    EXPECT_EQ(length, 98u);
}

TEST(BuildMessagePart, EveryMemoryFailureGivesMinus30AndReleasesAll) {
    testing::UseTestCodePage();
    bool built = false;
    for (int failAt = 1; failAt < 20 && !built; ++failAt) {
        SCOPED_TRACE("memory request " + std::to_string(failAt) + " fails");
        MemoryProbe probe(failAt);
        std::size_t length = 0;
        ResultCode error = 0;
        {
            Buffer part = BuildMessagePart("Hi", kDelimiterLine.c_str(), length, error);
            built = static_cast<bool>(part);
            EXPECT_EQ(error, built ? 0 : -30);
        }
        EXPECT_EQ(probe.Outstanding(), 0u);
    }
    EXPECT_TRUE(built);
}

}  // namespace
}  // namespace pushnote
