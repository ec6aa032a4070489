// The URL text fetch through the platform's HTTP client, against the service
// stand-in's GET routes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "exports/service_config.h"
#include "fetch/http_read_file.h"
#include "support/recorded_requests.h"

namespace pushnote {
namespace {

namespace fs = std::filesystem;

std::string ServiceUrl(const std::string& target) {
    return "https://localhost:" + std::to_string(testing::ServicePort()) + target;
}

// The stand-in's pattern: its digits repeated.
std::string Digits(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('0' + i % 10);
    return text;
}

struct Fetched {
    int result;
    std::string text;
};

Fetched Fetch(const std::string& url, std::int32_t size) {
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1, '#');
    const int result = HttpReadFile(url.c_str(), buffer.data(), size, http::PlatformClient());
    if (buffer.back() != '#') ADD_FAILURE() << "wrote past the buffer";
    buffer.back() = '\0';
    return {result, buffer.data()};
}

struct TextCase {
    const char* name;
    std::string target;
    std::int32_t size;
    std::string text;
};

class FetchWireText : public ::testing::TestWithParam<TextCase> {};

TEST_P(FetchWireText, ReturnsTheBodyCutToTheBuffer) {
    const TextCase& c = GetParam();
    const Fetched fetched = Fetch(ServiceUrl(c.target), c.size);
    EXPECT_EQ(fetched.result, 0);
    EXPECT_EQ(fetched.text, c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Routes, FetchWireText,
    ::testing::Values(TextCase{"small_text", "/text?text=Hello%20there", 64, "Hello there"},
                      TextCase{"status_404_body", "/status/404", 64, "<html>not found</html>"},
                      TextCase{"five_into_five", "/text?text=Hello", 5, "Hell"},
                      TextCase{"size_one", "/text?text=Hello", 1, ""},
                      TextCase{"pieces_with_pauses", "/pieces?bytes=3000&pieces=5&pause_ms=300",
                               4096, Digits(3000)},
                      TextCase{"longer_than_the_buffer", "/text?bytes=100000", 4096, Digits(4095)},
                      TextCase{"redirect_followed", "/redirect?to=%2Ftext%3Ftext%3Dmoved", 64,
                               "moved"},
                      TextCase{"agent_name", "/agent", 64, "PNAuthentication"},
                      // No path at all asks for "/", which the stand-in does not know.
                      TextCase{"no_path", "", 64, "<html>not found</html>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FetchWire, SendsAPlainGet) {
    const testing::RecordedRequests records;
    const std::size_t before = records.Count();
    EXPECT_EQ(Fetch(ServiceUrl("/text?text=plain"), 64).text, "plain");
    ASSERT_EQ(records.Count(), before + 1);
    const testing::RecordedRequest request = records.Newest();
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.target, "/text?text=plain");
    EXPECT_EQ(request.Header("user-agent"), "PNAuthentication");
    EXPECT_EQ(request.HeaderCount("authorization"), 0u);
}

TEST(FetchWire, LeavesTheFragmentOut) {
    const testing::RecordedRequests records;
    const std::size_t before = records.Count();
    EXPECT_EQ(Fetch(ServiceUrl("/text?text=part#section-2"), 64).text, "part");
    ASSERT_EQ(records.Count(), before + 1);
    EXPECT_EQ(records.Newest().target, "/text?text=part");
}

// A URL of exactly length bytes that the stand-in answers with "long".
std::string UrlOfLength(std::size_t length) {
    const std::string start = ServiceUrl("/text?text=long&pad=");
    return start + std::string(length - start.size(), 'p');
}

TEST(FetchWire, Url1023BytesIsFetchedAnd1024Refused) {
    const testing::RecordedRequests records;
    const std::size_t before = records.Count();
    const Fetched longest = Fetch(UrlOfLength(1023), 64);
    EXPECT_EQ(longest.result, 0);
    EXPECT_EQ(longest.text, "long");
    ASSERT_EQ(records.Count(), before + 1);

    const Fetched tooLong = Fetch(UrlOfLength(1024), 64);
    EXPECT_EQ(tooLong.result, -20);
    EXPECT_EQ(tooLong.text, "");
    EXPECT_EQ(records.Count(), before + 1);
}

TEST(FetchWire, SizeZeroLeavesTheBufferAndTheNetworkAlone) {
    const testing::RecordedRequests records;
    const std::size_t before = records.Count();
    char buffer = '#';
    EXPECT_EQ(HttpReadFile(ServiceUrl("/text").c_str(), &buffer, 0, http::PlatformClient()), -20);
    EXPECT_EQ(buffer, '#');
    EXPECT_EQ(records.Count(), before);
}

struct FailureCase {
    const char* name;
    std::string (*url)();  // called in the test: the ports come from its environment
};

class FetchWireFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(FetchWireFailure, GivesResultZeroAndTheEmptyText) {
    const Fetched fetched = Fetch(GetParam().url(), 64);
    EXPECT_EQ(fetched.result, 0);
    EXPECT_EQ(fetched.text, "");
}

INSTANTIATE_TEST_SUITE_P(
    Failures, FetchWireFailure,
    ::testing::Values(
        // Nothing listens on port 1 of the loopback interface.
        FailureCase{"unreachable_host", [] { return std::string("https://localhost:1/text"); }},
        FailureCase{"expired_certificate",
                    [] {
                        return "https://localhost:" +
                               std::to_string(testing::ExpiredServicePort()) + "/text";
                    }},
        FailureCase{
            "certificate_for_another_name",
            [] { return "https://127.0.0.1:" + std::to_string(testing::ServicePort()) + "/text"; }},
        FailureCase{"empty_url", [] { return std::string(); }}),
    [](const auto& info) { return std::string(info.param.name); });

// Schemes other than http and https are never opened, whatever listens: an
// ftp client would wait on the service's port for a greeting that drips or
// never comes, in phases no deadline covers. A local file is not read either.
TEST(FetchWire, OtherSchemesEndAtOnceWithTheEmptyText) {
    const fs::path file = fs::temp_directory_path() / "pushnote_fetch_wire_test.txt";
    std::ofstream(file) << "local text";
    std::string path = file.generic_string();
    if (path.front() != '/') path.insert(0, "/");
    const std::string port = std::to_string(testing::ServicePort());
    for (const std::string& url :
         {"ftp://localhost:" + port + "/text", "FTP://localhost:" + port + "/text",
          "gopher://localhost:" + port + "/text", "file://" + path}) {
        const auto start = std::chrono::steady_clock::now();
        const Fetched fetched = Fetch(url, 64);
        const auto elapsed = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(fetched.result, 0) << url;
        EXPECT_EQ(fetched.text, "") << url;
        EXPECT_LT(elapsed, std::chrono::milliseconds(config::kTimeoutMs)) << url;
    }
    fs::remove(file);
}

TEST(FetchWire, SilentServerEndsWithinTheTimeouts) {
    const auto start = std::chrono::steady_clock::now();
    const Fetched fetched = Fetch(ServiceUrl("/silent"), 64);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(fetched.result, 0);
    EXPECT_EQ(fetched.text, "");
    // One wait for the answer that never comes, with room for the handshake.
    EXPECT_LT(elapsed, std::chrono::milliseconds(config::kTimeoutMs) * 2);
}

}  // namespace
}  // namespace pushnote
