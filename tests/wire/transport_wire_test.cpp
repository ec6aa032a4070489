// What the platform's HTTP client adds, and what it must take in its stride,
// through the built library as hosts load it: interim answers before the
// final one, the headers on the wire, and the redirect rules of the fetch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "image/scratch_folder.h"
#include "pushnote.h"
#include "support/library_exports.h"
#include "support/recorded_requests.h"

namespace pushnote {
namespace {

using testing::Library;
using testing::RecordedRequests;

// Over the 1 MiB above which a client might announce the body and wait.
const std::string kLargePng = "\x89PNG\r\n\x1A\n" + std::string(2 * 1024 * 1024, 'p');
const std::string kSmallPng("\x89PNG\r\n\x1A\n\0\0", 10);

std::string ServiceUrl(const std::string& target) {
    return "https://localhost:" + std::to_string(testing::ServicePort()) + target;
}

std::string Fetch(const std::string& url) {
    char text[256] = "untouched";
    EXPECT_EQ(Library().httpReadFile(url.c_str(), text, sizeof text), PUSHNOTE_OK) << url;
    return text;
}

enum class Note { Text, SmallImage, LargeImage };

class TransportWire : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Library().Complete());
        before = records.Count();
    }
    void TearDown() override { Library().setAccessToken(""); }

    int Send(Note note, const std::string& token) {
        EXPECT_EQ(Library().setAccessToken(token.c_str()), 1);
        if (note == Note::Text) return Library().pushNote("Hello");
        const std::string& image = note == Note::LargeImage ? kLargePng : kSmallPng;
        return Library().pushNoteWithImage("Hi", folder.Write("shot.png", image).c_str());
    }

    std::size_t NewRequests() const { return records.Count() - before; }

    RecordedRequests records;
    std::size_t before = 0;
    testing::ScratchFolder folder;
};

struct InterimCase {
    const char* name;
    Note note;
    const char* directives;
};

void PrintTo(const InterimCase& c, std::ostream* out) {
    *out << c.name;
}

class InterimAnswer : public TransportWire, public ::testing::WithParamInterface<InterimCase> {};

TEST_P(InterimAnswer, IsPassedOverForTheFinalStatus) {
    const InterimCase& c = GetParam();
    EXPECT_EQ(Send(c.note, std::string("t;") + c.directives), PUSHNOTE_OK);
    EXPECT_EQ(NewRequests(), 1u);
}

std::vector<InterimCase> InterimCases() {
    std::vector<InterimCase> cases{
        {"text_after_100", Note::Text, "interim=100"},
        {"large_image_after_100", Note::LargeImage, "interim=100"},
    };
#if !defined(_WIN32)
    // Wine's client takes any interim answer but 100 for the final one.
    cases.push_back({"text_after_103", Note::Text, "interim=103"});
    cases.push_back({"text_after_103_then_100", Note::Text, "interim=103;interim=100"});
    cases.push_back({"large_image_after_103", Note::LargeImage, "interim=103"});
#endif
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Answers, InterimAnswer, ::testing::ValuesIn(InterimCases()),
                         [](const auto& info) { return std::string(info.param.name); });

std::set<std::string> LowerCaseNames(const testing::RecordedRequest& request) {
    std::set<std::string> names;
    for (auto [name, value] : request.headers) {
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        names.insert(name);
    }
    return names;
}

// The notify exchange sets the type and the authorisation; the client adds
// only what every request needs. Nothing else may reach the service.
std::set<std::string> NotifyHeaderNames() {
    std::set<std::string> names{"authorization", "content-length", "content-type", "host",
                                "user-agent"};
#if defined(_WIN32)
    names.insert("cache-control");  // how Wine's client asks for no cached answer
#endif
    return names;
}

struct HeaderCase {
    const char* name;
    Note note;
};

void PrintTo(const HeaderCase& c, std::ostream* out) {
    *out << c.name;
}

class NotifyHeaders : public TransportWire, public ::testing::WithParamInterface<HeaderCase> {};

TEST_P(NotifyHeaders, AreExactlyThoseTheExchangeNeeds) {
    ASSERT_EQ(Send(GetParam().note, "header-token"), PUSHNOTE_OK);
    ASSERT_EQ(NewRequests(), 1u);
    EXPECT_EQ(LowerCaseNames(records.Newest()), NotifyHeaderNames());
}

INSTANTIATE_TEST_SUITE_P(Notes, NotifyHeaders,
                         ::testing::Values(HeaderCase{"text", Note::Text},
                                           HeaderCase{"small_image", Note::SmallImage},
                                           HeaderCase{"large_image", Note::LargeImage}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(TransportWire, FetchSendsOnlyTheHeadersOfAPlainGet) {
    EXPECT_EQ(Fetch(ServiceUrl("/text?text=plain")), "plain");
    ASSERT_EQ(NewRequests(), 1u);
    EXPECT_EQ(LowerCaseNames(records.Newest()),
              (std::set<std::string>{"accept", "host", "user-agent"}));
}

struct RedirectCase {
    const char* name;
    std::string (*url)();  // called in the test: the port comes from its environment
    const char* text;
};

void PrintTo(const RedirectCase& c, std::ostream* out) {
    *out << c.name;
}

class FetchRedirect : public ::testing::TestWithParam<RedirectCase> {};

TEST_P(FetchRedirect, GivesTheTextOfTheEnd) {
    ASSERT_TRUE(Library().Complete());
    EXPECT_EQ(Fetch(GetParam().url()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Chains, FetchRedirect,
    ::testing::Values(
        RedirectCase{"chain_of_10_followed", [] { return ServiceUrl("/chain?left=10"); },
                     "end of chain"},
        RedirectCase{"chain_of_11_refused", [] { return ServiceUrl("/chain?left=11"); }, ""},
        RedirectCase{"loop_ends", [] { return ServiceUrl("/loop"); }, ""},
        // The text must not come over a link less protected than the caller asked for.
        RedirectCase{"https_to_http_refused", [] { return ServiceUrl("/downgrade"); }, ""},
        // ...while plain http itself is fetched.
        RedirectCase{"plain_http", [] { return Fetch(ServiceUrl("/plain-url")); },
                     "over plain http"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote
