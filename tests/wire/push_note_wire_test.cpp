// Text notifications through the platform's real HTTP client and TLS to the
// service stand-in: what arrives, what each answer gives, and that the token
// reaches no server whose certificate is wrong.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "base/access_token.h"
#include "exports/service_config.h"
#include "notify/push_note.h"
#include "support/recorded_requests.h"

namespace pushnote {
namespace {

using testing::RecordedRequests;

class PushNoteWire : public ::testing::Test {
protected:
    void SetUp() override {
#if !defined(_WIN32)
        setenv("LC_ALL", "C.UTF-8", 1);
#endif
        before = records.Count();
    }

    ResultCode Send(const char* token, const char* message,
                    const ServiceEndpoint& service = config::kService) {
        EXPECT_TRUE(SetAccessToken(token));
        return PushNote(message, service, http::PlatformClient());
    }

    std::size_t NewRequests() const {
        return records.Count() - before;
    }

    RecordedRequests records;
    std::size_t before = 0;
};

struct MessageCase {
    const char* name;
    const char* message;
    const char* body;
};

class ArrivingMessage : public PushNoteWire, public ::testing::WithParamInterface<MessageCase> {};

TEST_P(ArrivingMessage, ArrivesAsUtf8FormBodyWithTheExactHeaders) {
    const MessageCase& c = GetParam();
    ASSERT_EQ(Send("wire-token", c.message), 0);
    ASSERT_EQ(NewRequests(), 1u);
    const testing::RecordedRequest request = records.Newest();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/api/notify");
    EXPECT_EQ(request.body, c.body);
    EXPECT_EQ(request.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(request.Header("Authorization"), "Bearer wire-token");
    EXPECT_EQ(request.Header("User-Agent"), "PushNote");
    EXPECT_EQ(request.HeaderCount("Content-Length"), 1u);
    EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
}

#if defined(_WIN32)
// Wine's default ANSI code page is 1252.
const MessageCase kNonAscii{"non_ascii", "caf\xE9", "message=caf\xC3\xA9"};
#else
const MessageCase kNonAscii{"non_ascii", "caf\xC3\xA9", "message=caf\xC3\xA9"};
#endif

INSTANTIATE_TEST_SUITE_P(Messages, ArrivingMessage,
                         ::testing::Values(MessageCase{"plain", "Hello", "message=Hello"},
                                           MessageCase{"form_characters_unchanged", "a&b=c+d%20",
                                                       "message=a&b=c+d%20"},
                                           MessageCase{"empty", "", "message="}, kNonAscii),
                         [](const auto& info) { return std::string(info.param.name); });

struct AnswerCase {
    const char* name;
    const char* token;
    ResultCode result;
};

class ServiceAnswer : public PushNoteWire, public ::testing::WithParamInterface<AnswerCase> {};

TEST_P(ServiceAnswer, GivesItsCode) {
    const AnswerCase& c = GetParam();
    EXPECT_EQ(Send(c.token, "Hello"), c.result);
    EXPECT_EQ(NewRequests(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ServiceAnswer,
    ::testing::Values(AnswerCase{"unauthorised", "t;status=401", -6},
                      AnswerCase{"redirect_not_followed", "t;status=302", -6},
                      AnswerCase{"no_content", "t;status=204", -6},
                      AnswerCase{"ten_megabytes_drained", "t;body_bytes=10000000", 0},
                      AnswerCase{"slow_but_within_timeout", "t;delay_ms=500", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PushNoteWire, NoTokenSendsNothing) {
    ASSERT_TRUE(SetAccessToken(""));
    EXPECT_EQ(PushNote("Hello", config::kService, http::PlatformClient()), -10);
    EXPECT_EQ(NewRequests(), 0u);
}

TEST_F(PushNoteWire, SilentServiceEndsWithinTheTimeout) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_LT(Send("t;silent", "Hello"), 0);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(config::kTimeoutMs * 3));
}

struct UntrustedCase {
    const char* name;
    const char* host;
    int portOffset;  // from the service port: the expired listener is at +10
};

class UntrustedServer : public PushNoteWire, public ::testing::WithParamInterface<UntrustedCase> {};

TEST_P(UntrustedServer, FailsAndTheServerGetsNoRequest) {
    const UntrustedCase& c = GetParam();
    const ServiceEndpoint service{
        c.host, static_cast<std::uint16_t>(testing::ServicePort() + c.portOffset)};
    EXPECT_EQ(Send("secret-token", "Hello", service), -4);
    EXPECT_EQ(NewRequests(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Servers, UntrustedServer,
                         ::testing::Values(UntrustedCase{"certificate_for_another_name",
                                                         "127.0.0.1", 0},
                                           UntrustedCase{"expired_certificate", "localhost", 10},
                                           UntrustedCase{"nothing_listening", "localhost", 20}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote
