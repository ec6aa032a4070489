#include "retry_policy.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "answer_recorder.h"
#include "base/access_token.h"
#include "notify/push_note.h"
#include "support/recording_client.h"

namespace pushnote::command {
namespace {

using namespace std::chrono;

struct VerdictCase {
    const char* name;
    ResultCode result;
    std::optional<std::uint32_t> status;
    Verdict verdict;
};

class ClassifyAnswer : public ::testing::TestWithParam<VerdictCase> {};

TEST_P(ClassifyAnswer, ResultAndStatusGiveTheVerdict) {
    EXPECT_EQ(Classify(GetParam().result, GetParam().status), GetParam().verdict);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ClassifyAnswer,
    ::testing::Values(VerdictCase{"delivered", 0, 200, Verdict::Delivered},
                      VerdictCase{"no_connection", -4, std::nullopt, Verdict::TryLater},
                      VerdictCase{"no_status", -5, std::nullopt, Verdict::TryLater},
                      VerdictCase{"cut_short", -7, 200, Verdict::TryLater},
                      VerdictCase{"rate_limited", -6, 429, Verdict::TryLater},
                      VerdictCase{"server_error", -6, 500, Verdict::TryLater},
                      VerdictCase{"last_5xx", -6, 599, Verdict::TryLater},
                      VerdictCase{"status_lost", -6, std::nullopt, Verdict::TryLater},
                      VerdictCase{"unauthorised", -6, 401, Verdict::TokenRefused},
                      VerdictCase{"forbidden", -6, 403, Verdict::TokenRefused},
                      VerdictCase{"no_token", -10, std::nullopt, Verdict::TokenRefused},
                      VerdictCase{"bad_request", -6, 400, Verdict::Refused},
                      VerdictCase{"too_large", -6, 413, Verdict::Refused},
                      VerdictCase{"redirect", -6, 302, Verdict::Refused},
                      VerdictCase{"beyond_5xx", -6, 600, Verdict::Refused},
                      VerdictCase{"too_long", -20, std::nullopt, Verdict::BadInput},
                      VerdictCase{"empty_image", -30, std::nullopt, Verdict::BadInput},
                      VerdictCase{"huge_image", -40, std::nullopt, Verdict::BadInput},
                      VerdictCase{"unreadable_image", -50, std::nullopt, Verdict::BadInput},
                      VerdictCase{"image_type", -60, std::nullopt, Verdict::BadInput}),
    [](const auto& info) { return std::string(info.param.name); });

// 2026-12-08 12:00:00 UTC.
const system_clock::time_point kNow = sys_days(year(2026) / December / 8) + hours(12);

struct RetryAfterCase {
    const char* name;
    const char* value;
    std::optional<long long> seconds;
};

class ReadRetryAfter : public ::testing::TestWithParam<RetryAfterCase> {};

TEST_P(ReadRetryAfter, SecondsOrHttpDate) {
    const auto wait = ParseRetryAfter(GetParam().value, kNow);
    ASSERT_EQ(wait.has_value(), GetParam().seconds.has_value());
    if (wait) {
        EXPECT_EQ(wait->count(), *GetParam().seconds);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReadRetryAfter,
    ::testing::Values(RetryAfterCase{"seconds", "1", 1}, RetryAfterCase{"zero", "0", 0},
                      RetryAfterCase{"spaces", " 120 ", 120},
                      RetryAfterCase{"date_ahead", "Tue, 08 Dec 2026 12:01:30 GMT", 90},
                      RetryAfterCase{"date_past", "Tue, 08 Dec 2026 11:00:00 GMT", 0},
                      RetryAfterCase{"next_year", "Fri, 01 Jan 2027 00:00:00 GMT",
                                     (23 * 24 + 12) * 3600LL},
                      RetryAfterCase{"negative", "-1", std::nullopt},
                      RetryAfterCase{"fraction", "1.5", std::nullopt},
                      RetryAfterCase{"empty", "", std::nullopt},
                      RetryAfterCase{"not_gmt", "Tue, 08 Dec 2026 12:01:30 CET", std::nullopt},
                      RetryAfterCase{"bad_month", "Tue, 08 Dez 2026 12:01:30 GMT", std::nullopt},
                      RetryAfterCase{"no_such_day", "Tue, 31 Nov 2026 12:01:30 GMT", std::nullopt},
                      RetryAfterCase{"bad_hour", "Tue, 08 Dec 2026 24:01:30 GMT", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Backoff, DoublesFromOneSecondWithAtMostAQuarterMore) {
    EXPECT_EQ(Backoff(0, 0.0), milliseconds(1000));
    EXPECT_EQ(Backoff(0, 1.0), milliseconds(1250));
    EXPECT_EQ(Backoff(1, 0.0), milliseconds(2000));
    EXPECT_EQ(Backoff(2, 0.5), milliseconds(4500));
    EXPECT_GT(Backoff(100, 0.0), hours(24)) << "huge, for --retry-max-time to cap";
}

// The recorder keeps the status and Retry-After of the answer the sender
// checked, and forgets them on Reset.
TEST(AnswerRecorder, KeepsStatusAndRetryAfterOfTheAnswer) {
    testing::RecordingClient service;
    service.status = 429;
    service.responseHeaders["Retry-After"] = "7";
    AnswerRecorder recorder(service);
    ASSERT_TRUE(SetAccessToken("token"));
    EXPECT_EQ(PushNote("hello", ServiceEndpoint{"notify.example", 443}, recorder), -6);
    EXPECT_EQ(recorder.status(), 429u);
    EXPECT_EQ(recorder.retryAfter(), "7");
    EXPECT_EQ(service.OpenHandles(), 0) << "every handle closed through the recorder";

    recorder.Reset();
    service.status = 200;
    service.responseHeaders.clear();
    EXPECT_EQ(PushNote("hello", ServiceEndpoint{"notify.example", 443}, recorder), 0);
    EXPECT_EQ(recorder.status(), 200u);
    EXPECT_EQ(recorder.retryAfter(), "");
}

TEST(AnswerRecorder, NoStatusWhenNoAnswerCame) {
    testing::RecordingClient service;
    service.failAt = testing::RecordingClient::Step::Send;
    AnswerRecorder recorder(service);
    ASSERT_TRUE(SetAccessToken("token"));
    EXPECT_EQ(PushNote("hello", ServiceEndpoint{"notify.example", 443}, recorder), -4);
    EXPECT_FALSE(recorder.status().has_value());
}

}  // namespace
}  // namespace pushnote::command
