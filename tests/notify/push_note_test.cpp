#include "notify/push_note.h"

#include <gtest/gtest.h>

#include <string>

#include "base/access_token.h"
#include "support/memory_probe.h"
#include "support/recording_client.h"

namespace pushnote {
namespace {

using testing::MemoryProbe;
using testing::RecordingClient;

const ServiceEndpoint kService{"notify.example", 443};

class PushNoteTest : public ::testing::Test {
protected:
    void SetUp() override {
#if !defined(_WIN32)
        setenv("LC_ALL", "C.UTF-8", 1);
#endif
        ASSERT_TRUE(SetAccessToken("token-123"));
    }
    RecordingClient client;
};

TEST_F(PushNoteTest, SendsTheExactHeaderAndBodyTexts) {
    EXPECT_EQ(PushNote("Hello &=+% there", kService, client), 0);
    EXPECT_EQ(client.sentHeaders,
              "Content-Type: application/x-www-form-urlencoded\r\n"
              "Authorization: Bearer token-123");
    EXPECT_EQ(client.sentBody, "message=Hello &=+% there");
    EXPECT_EQ(client.agent, "PushNote");
    EXPECT_EQ(client.proxy, http::ProxyMode::System);
    EXPECT_EQ(client.host, "notify.example");
    EXPECT_EQ(client.port, 443);
    EXPECT_EQ(client.CallsStartingWith("OpenRequest"),
              std::vector<std::string>{"OpenRequest POST /api/notify"});
}

TEST_F(PushNoteTest, NullAndEmptyMessagesSendTheBareField) {
    EXPECT_EQ(PushNote(nullptr, kService, client), 0);
    EXPECT_EQ(client.sentBody, "message=");
}

struct LimitCase {
    const char* name;
    std::string message;
    int result;
    std::size_t bodyLength;
};

class PushNoteLimit : public PushNoteTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(PushNoteLimit, ChecksLengthBeforeAnyNetwork) {
    const LimitCase& c = GetParam();
    EXPECT_EQ(PushNote(c.message.c_str(), kService, client), c.result);
    if (c.result == 0) {
        EXPECT_EQ(client.sentBody.size(), c.bodyLength);
    } else {
        EXPECT_TRUE(client.calls.empty());
    }
}

// A message whose UTF-8 form is 8183 + extra bytes: "message=", the message
// and the terminator then make 8192 + extra. Three-byte units come from a
// byte the code page maps to U+20AC (1252) or cannot map (UTF-8: U+FFFD).
std::string ExpandingMessage(std::size_t extra) {
#if defined(_WIN32)
    const std::string threeBytes = "\x80", twoBytes = "\xE9";
#else
    const std::string threeBytes = "\xFF", twoBytes = "\xC3\xA9";
#endif
    std::string text;
    for (int i = 0; i < 2727; ++i) text += threeBytes;
    return text + twoBytes + std::string(extra, 'x');
}

INSTANTIATE_TEST_SUITE_P(
    Limits, PushNoteLimit,
    ::testing::Values(LimitCase{"ansi_4087", std::string(4087, 'a'), 0, 8 + 4087},
                      LimitCase{"ansi_4088", std::string(4088, 'a'), -20, 0},
                      LimitCase{"utf8_exactly_8192", ExpandingMessage(0), 0, 8191},
                      LimitCase{"utf8_one_over", ExpandingMessage(1), -20, 0},
                      LimitCase{"empty", "", 0, 8}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PushNoteTest, NoTokenFailsWithoutNetwork) {
    ASSERT_TRUE(SetAccessToken(""));
    EXPECT_EQ(PushNote("Hello", kService, client), -10);
    EXPECT_TRUE(client.calls.empty());
}

TEST_F(PushNoteTest, EachShortMemoryPathReleasesEverything) {
    MemoryProbe count;
    ASSERT_EQ(PushNote("Hello", kService, client), 0);
    const int requests = count.Requests();
    ASSERT_GE(requests, 5);  // header, form, body, and the conversion scratch

    for (int failAt = 1; failAt <= requests; ++failAt) {
        RecordingClient fresh;
        MemoryProbe probe(failAt);
        EXPECT_EQ(PushNote("Hello", kService, fresh), -30) << "request " << failAt;
        EXPECT_EQ(probe.Outstanding(), 0u) << "request " << failAt;
        EXPECT_TRUE(fresh.calls.empty()) << "request " << failAt;
    }
}

TEST_F(PushNoteTest, ReleasesBuffersInOrderThenClosesHandles) {
    MemoryProbe probe;
    EXPECT_EQ(PushNote("Hello", kService, client), 0);
    EXPECT_EQ(probe.Outstanding(), 0u);
    const auto& released = probe.ReleasedSizes();
    ASSERT_GE(released.size(), 3u);
    EXPECT_EQ(std::vector<std::size_t>(released.end() - 3, released.end()),
              (std::vector<std::size_t>{4096, 4096, 8192}));
    EXPECT_EQ(client.CallsStartingWith("Close"),
              (std::vector<std::string>{"Close request", "Close connection", "Close session"}));
}

}  // namespace
}  // namespace pushnote
