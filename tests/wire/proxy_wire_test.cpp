// Run with https_proxy and HTTPS_PROXY naming a port where nothing listens:
// the senders go through the system's proxy, so they fail to send, while the
// fetch goes direct and still returns the text.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "image/scratch_folder.h"
#include "pushnote.h"
#include "support/library_exports.h"
#include "support/recorded_requests.h"

namespace pushnote {
namespace {

using testing::Library;
using testing::ScratchFolder;

struct Outcome {
    int result;
    std::string text;  // the fetched text; empty for the senders
    std::size_t requests;
};

struct ProxyCase {
    const char* name;
    Outcome (*call)(const ScratchFolder& folder);  // requests left at 0
    Outcome expected;
};

void PrintTo(const ProxyCase& c, std::ostream* out) {
    *out << c.name;
}

class DeadProxy : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(DeadProxy, IsUsedBySendersOnly) {
    ASSERT_TRUE(Library().Complete());
    ASSERT_EQ(Library().setAccessToken("proxy-token"), 1);
    const testing::RecordedRequests records;
    const std::size_t before = records.Count();
    const ScratchFolder folder;
    Outcome outcome = GetParam().call(folder);
    outcome.requests = records.Count() - before;
    EXPECT_EQ(outcome.result, GetParam().expected.result);
    EXPECT_EQ(outcome.text, GetParam().expected.text);
    EXPECT_EQ(outcome.requests, GetParam().expected.requests);
}

Outcome SendText(const ScratchFolder&) {
    return {Library().pushNote("Hello"), "", 0};
}

Outcome SendImage(const ScratchFolder& folder) {
    const std::string png("\x89PNG\r\n\x1A\n\0\0", 10);
    return {Library().pushNoteWithImage("Hi", folder.Write("a.png", png).c_str()), "", 0};
}

Outcome FetchText(const ScratchFolder&) {
    const std::string url =
        "https://localhost:" + std::to_string(testing::ServicePort()) + "/text?text=direct";
    char text[64] = "untouched";
    return {Library().httpReadFile(url.c_str(), text, sizeof text), text, 0};
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DeadProxy,
    ::testing::Values(ProxyCase{"text_note_fails_to_send", SendText, {PUSHNOTE_ERROR_SEND, "", 0}},
                      ProxyCase{
                          "image_note_fails_to_send", SendImage, {PUSHNOTE_ERROR_SEND, "", 0}},
                      ProxyCase{"fetch_goes_direct", FetchText, {PUSHNOTE_OK, "direct", 1}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote
