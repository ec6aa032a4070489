#include "http/response_head_curl.h"

#include "http/http_client.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pushnote::http {
namespace {

struct HeadCase {
    const char* name;
    std::vector<std::string> lines;
    int status;
    bool ended;
};

const HeadCase kCases[] = {
    {"ok", {"HTTP/1.1 200 OK\r\n", "Content-Length: 2\r\n", "\r\n"}, 200, true},
    {"http2_without_reason", {"HTTP/2 404\r\n", "\r\n"}, 404, true},
    {"head_not_yet_ended", {"HTTP/1.1 200 OK\r\n", "Server: x\r\n"}, 200, false},
    {"interim_then_final",
     {"HTTP/1.1 100 Continue\r\n", "\r\n", "HTTP/1.1 201 Created\r\n", "\n"},
     201,
     true},
    {"interim_alone_does_not_end", {"HTTP/1.1 103 Early Hints\r\n", "\r\n"}, 103, false},
    {"followed_redirect_starts_anew",
     {"HTTP/1.1 302 Found\r\n", "\r\n", "HTTP/1.1 500 Oops\r\n"},
     500,
     false},
    {"more_than_three_digits", {"HTTP/1.1 2000000000000 Big\r\n", "\r\n"}, 0, false},
    {"two_digits", {"HTTP/1.1 20 Short\r\n", "\r\n"}, 0, false},
    {"no_code", {"HTTP/1.1\r\n", "\r\n"}, 0, false},
    {"blank_before_any_status", {"\r\n"}, 0, false},
    // libcurl always hands the line ending over; the code ends the line here.
    {"status_line_without_line_ending", {"HTTP/1.1 204", "\r\n"}, 204, true},
};

class ResponseHeadTest : public ::testing::TestWithParam<HeadCase> {};

TEST_P(ResponseHeadTest, ReadsTheFinalStatusAndTheHeadsEnd) {
    const HeadCase& c = GetParam();
    ResponseHead head;
    for (const std::string& line : c.lines) head.TakeLine(line.data(), line.size());
    EXPECT_EQ(head.Status(), c.status);
    EXPECT_EQ(head.Ended(), c.ended);
}

INSTANTIATE_TEST_SUITE_P(Lines, ResponseHeadTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A header line of the given total length, line break included.
std::string HeaderLine(std::size_t length) {
    return "X: " + std::string(length - 5, 'x') + "\r\n";
}

struct LimitCase {
    const char* name;
    std::vector<std::string> lines;
    bool accepted;
};

const std::string kStatusLine = "HTTP/1.1 200 OK\r\n";

const LimitCase kLimitCases[] = {
    {"at_the_limit", {kStatusLine, HeaderLine(kMaxResponseHeadBytes - kStatusLine.size())}, true},
    {"one_byte_past",
     {kStatusLine, HeaderLine(kMaxResponseHeadBytes - kStatusLine.size() + 1)},
     false},
    {"new_status_line_counts_afresh",
     {kStatusLine, HeaderLine(kMaxResponseHeadBytes / 2), kStatusLine,
      HeaderLine(kMaxResponseHeadBytes - kStatusLine.size())},
     true},
};

class ResponseHeadLimitTest : public ::testing::TestWithParam<LimitCase> {};

TEST_P(ResponseHeadLimitTest, RefusesAHeadPastItsLimit) {
    ResponseHead head;
    bool accepted = true;
    for (const std::string& line : GetParam().lines) {
        accepted = head.TakeLine(line.data(), line.size());
    }
    EXPECT_EQ(accepted, GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Limit, ResponseHeadLimitTest, ::testing::ValuesIn(kLimitCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote::http
