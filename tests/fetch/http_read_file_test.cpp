#include "fetch/http_read_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "support/memory_probe.h"
#include "support/recording_client.h"

namespace pushnote {
namespace {

using testing::MemoryProbe;
using testing::RecordingClient;
using Step = RecordingClient::Step;

constexpr const char* kUrl = "https://example.test/motd.txt";

// A distinct byte at every position, so that order and cut show.
std::string Pattern(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += static_cast<char>('a' + i % 26);
    return text;
}

// A caller's buffer filled with a marker, to see what was written.
std::vector<char> Marked(std::size_t size) {
    return std::vector<char>(size, '#');
}

const std::vector<std::string> kFullExchange = {"OpenSession", "OpenUrl",   "ReadBody",
                                                "ReadBody",    "Close url", "Close session"};

TEST(HttpReadFile, FetchesTheTextWithTheReaderAgentAndNoProxy) {
    RecordingClient client;
    client.responseBody = "Hello";
    std::vector<char> buffer = Marked(64);
    EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), 64, client), 0);
    EXPECT_STREQ(buffer.data(), "Hello");
    EXPECT_EQ(client.agent, "PNAuthentication");
    EXPECT_EQ(client.proxy, http::ProxyMode::None);
    EXPECT_EQ(client.url, kUrl);
    EXPECT_EQ(client.calls, kFullExchange);
    EXPECT_EQ(client.OpenHandles(), 0);
}

TEST(HttpReadFile, IgnoresTheHttpStatus) {
    RecordingClient client;
    client.status = 404;
    client.responseBody = "<html>not found</html>";
    std::vector<char> buffer = Marked(64);
    EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), 64, client), 0);
    EXPECT_STREQ(buffer.data(), "<html>not found</html>");
    EXPECT_TRUE(client.CallsStartingWith("QueryStatusCode").empty());
}

struct CutCase {
    const char* name;
    std::string body;
    std::int32_t size;
    std::string text;
};

class HttpReadFileCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(HttpReadFileCut, CopiesAtMostSizeMinusOneBytesAndTerminates) {
    const CutCase& c = GetParam();
    RecordingClient client;
    client.responseBody = c.body;
    std::vector<char> buffer = Marked(static_cast<std::size_t>(c.size) + 1);
    EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), c.size, client), 0);
    EXPECT_EQ(std::string(buffer.data()), c.text);
    EXPECT_EQ(buffer.back(), '#') << "wrote past the buffer";
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, HttpReadFileCut,
    ::testing::Values(CutCase{"five_into_five", "Hello", 5, "Hell"},
                      CutCase{"five_into_six", "Hello", 6, "Hello"},
                      CutCase{"size_one", "Hello", 1, ""}, CutCase{"empty_body", "", 16, ""},
                      CutCase{"zero_byte_ends_the_text", std::string("ab\0cd", 5), 16, "ab"},
                      CutCase{"long_body_into_small_buffer", Pattern(3000), 10, Pattern(9)}),
    [](const auto& info) { return std::string(info.param.name); });

struct PiecesCase {
    const char* name;
    std::size_t bodyLength;
    std::uint32_t pieceSize;
    std::int32_t size;
    std::size_t textLength;
    std::size_t reads;  // the pieces until the text is complete or the body ends
    std::size_t zeroAt = std::string::npos;  // a zero byte put into the body here
};

class HttpReadFilePieces : public ::testing::TestWithParam<PiecesCase> {};

TEST_P(HttpReadFilePieces, GathersInOrderAndStopsOnceTheTextIsComplete) {
    const PiecesCase& c = GetParam();
    RecordingClient client;
    client.responseBody = Pattern(c.bodyLength);
    if (c.zeroAt != std::string::npos) client.responseBody[c.zeroAt] = '\0';
    client.readPieceSize = c.pieceSize;
    std::vector<char> buffer = Marked(static_cast<std::size_t>(c.size));
    EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), c.size, client), 0);
    EXPECT_EQ(std::string(buffer.data()), Pattern(c.textLength));
    EXPECT_EQ(client.CallsStartingWith("ReadBody").size(), c.reads);
}

INSTANTIATE_TEST_SUITE_P(Pieces, HttpReadFilePieces,
                         ::testing::Values(
                             // Reads take at most 1024 bytes whatever the client could give.
                             PiecesCase{"reads_of_1024", 3000, 4096, 4096, 3000, 4},
                             PiecesCase{"small_pieces", 3000, 700, 4096, 3000, 6},
                             // The rest is never read: full after the sixth piece.
                             PiecesCase{"rest_not_read", 5000, 700, 4096, 4095, 6},
                             PiecesCase{"full_after_first_piece", 3000, 700, 100, 99, 1},
                             PiecesCase{"exactly_size_minus_one", 4095, 1024, 4096, 4095, 4},
                             PiecesCase{"zero_byte_in_a_later_piece", 3000, 700, 4096, 1500, 3,
                                        1500}),
                         [](const auto& info) { return std::string(info.param.name); });

// A size with no room for the terminator; a negative one is never read as a
// huge unsigned room. The byte after the 1-byte buffer guards against writes.
class HttpReadFileNoRoom : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(HttpReadFileNoRoom, FailsWithoutWritingOrNetwork) {
    RecordingClient client;
    client.responseBody = "Hello";
    std::vector<char> guarded = Marked(1 + 64);
    MemoryProbe probe;
    EXPECT_EQ(HttpReadFile(kUrl, guarded.data(), GetParam(), client), -20);
    EXPECT_EQ(guarded, Marked(1 + 64));
    EXPECT_TRUE(client.calls.empty());
    EXPECT_EQ(probe.Requests(), 0);
}

INSTANTIATE_TEST_SUITE_P(Sizes, HttpReadFileNoRoom,
                         ::testing::Values(0, -1, std::numeric_limits<std::int32_t>::min()));

TEST(HttpReadFile, NullBufferFailsWithoutNetwork) {
    RecordingClient client;
    EXPECT_EQ(HttpReadFile(kUrl, nullptr, 64, client), -20);
    EXPECT_TRUE(client.calls.empty());
}

struct SchemeCase {
    const char* url;  // null: the caller passed none
    bool opened;
};

class HttpReadFileScheme : public ::testing::TestWithParam<SchemeCase> {};

// Only http and https are opened: other schemes have phases no deadline covers.
TEST_P(HttpReadFileScheme, OpensOnlyHttpAndHttps) {
    const SchemeCase& c = GetParam();
    RecordingClient client;
    client.responseBody = "Hello";
    std::vector<char> buffer = Marked(64);
    EXPECT_EQ(HttpReadFile(c.url, buffer.data(), 64, client), 0);
    EXPECT_STREQ(buffer.data(), c.opened ? "Hello" : "");
    EXPECT_EQ(client.calls.empty(), !c.opened);
}

INSTANTIATE_TEST_SUITE_P(
    Schemes, HttpReadFileScheme,
    ::testing::Values(
        SchemeCase{"http://example.test/a", true}, SchemeCase{"HTTP://example.test/a", true},
        SchemeCase{"hTTpS://example.test/a", true}, SchemeCase{"ftp://example.test/a", false},
        SchemeCase{"FTP://example.test/a", false}, SchemeCase{"file:///etc/hostname", false},
        SchemeCase{"gopher://example.test/a", false}, SchemeCase{"httpx://example.test/a", false},
        SchemeCase{"http:/example.test/a", false}, SchemeCase{" http://example.test/a", false},
        SchemeCase{"example.test/a", false}, SchemeCase{"", false}, SchemeCase{nullptr, false}));

struct UrlLengthCase {
    const char* name;
    std::size_t length;
    int result;
};

class HttpReadFileUrlLength : public ::testing::TestWithParam<UrlLengthCase> {};

TEST_P(HttpReadFileUrlLength, LimitIs1023BytesCheckedBeforeMemoryAndNetwork) {
    const UrlLengthCase& c = GetParam();
    const std::string prefix = "https://example.test/";
    const std::string url = prefix + std::string(c.length - prefix.size(), 'p');
    RecordingClient client;
    client.responseBody = "Hello";
    std::vector<char> buffer = Marked(64);
    MemoryProbe probe;
    EXPECT_EQ(HttpReadFile(url.c_str(), buffer.data(), 64, client), c.result);
    if (c.result == 0) {
        EXPECT_EQ(client.url, url);
        EXPECT_STREQ(buffer.data(), "Hello");
    } else {
        EXPECT_STREQ(buffer.data(), "");
        EXPECT_TRUE(client.calls.empty());
        EXPECT_EQ(probe.Requests(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, HttpReadFileUrlLength,
                         ::testing::Values(UrlLengthCase{"url_1023", 1023, 0},
                                           UrlLengthCase{"url_1024", 1024, -20},
                                           UrlLengthCase{"url_4000", 4000, -20}),
                         [](const auto& info) { return std::string(info.param.name); });

struct StepCase {
    const char* name;
    Step failAt;
    std::vector<std::string> calls;
};

class HttpReadFileStep : public ::testing::TestWithParam<StepCase> {};

TEST_P(HttpReadFileStep, NetworkFailureGivesTheEmptyTextAndClosesInReverse) {
    const StepCase& c = GetParam();
    RecordingClient client;
    client.failAt = c.failAt;
    client.responseBody = "Hello";
    std::vector<char> buffer = Marked(64);
    MemoryProbe probe;
    EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), 64, client), 0);
    EXPECT_STREQ(buffer.data(), "");
    EXPECT_EQ(client.calls, c.calls);
    EXPECT_EQ(client.OpenHandles(), 0);
    EXPECT_EQ(probe.Outstanding(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Steps, HttpReadFileStep,
                         ::testing::Values(StepCase{"session", Step::Session, {"OpenSession"}},
                                           StepCase{"open_url",
                                                    Step::OpenUrl,
                                                    {"OpenSession", "OpenUrl", "Close session"}},
                                           StepCase{"first_read",
                                                    Step::Read,
                                                    {"OpenSession", "OpenUrl", "ReadBody",
                                                     "Close url", "Close session"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HttpReadFile, ReadFailingAfterSomeTextKeepsTheTextAndClosesInReverse) {
    RecordingClient client;
    client.responseBody = Pattern(3000);
    client.readPieceSize = 700;
    client.failAt = Step::Read;
    client.readsBeforeFailure = 2;
    std::vector<char> buffer = Marked(4096);
    MemoryProbe probe;
    EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), 4096, client), 0);
    EXPECT_EQ(std::string(buffer.data()), Pattern(1400));
    EXPECT_EQ(client.CallsStartingWith("ReadBody").size(), 3u);
    EXPECT_EQ(client.CallsStartingWith("Close"),
              (std::vector<std::string>{"Close url", "Close session"}));
    EXPECT_EQ(probe.Outstanding(), 0u);
}

TEST(HttpReadFile, UsesAUrlCopyAndAReadBufferAndReleasesBoth) {
    RecordingClient client;
    client.responseBody = "Hello";
    std::vector<char> buffer = Marked(64);
    MemoryProbe probe;
    EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), 64, client), 0);
    EXPECT_EQ(probe.ObtainedSizes(), (std::vector<std::size_t>{1024, 1025}));
    EXPECT_EQ(probe.Outstanding(), 0u);
}

TEST(HttpReadFile, EachShortMemoryPathReleasesEverythingWithoutNetwork) {
    for (int failAt = 1; failAt <= 2; ++failAt) {
        RecordingClient client;
        client.responseBody = "Hello";
        std::vector<char> buffer = Marked(64);
        MemoryProbe probe(failAt);
        EXPECT_EQ(HttpReadFile(kUrl, buffer.data(), 64, client), -30) << "request " << failAt;
        EXPECT_STREQ(buffer.data(), "") << "request " << failAt;
        EXPECT_EQ(probe.Outstanding(), 0u) << "request " << failAt;
        EXPECT_TRUE(client.calls.empty()) << "request " << failAt;
    }
}

}  // namespace
}  // namespace pushnote
