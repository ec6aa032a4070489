// Run with https_proxy and HTTPS_PROXY naming a port where nothing listens:
// the senders go through the system's proxy, so they fail to send, while the
// fetch goes direct and still returns the text.
#include <gtest/gtest.h>

#include <string>

#include "image/scratch_folder.h"
#include "pushnote.h"
#include "support/library_exports.h"
#include "support/recorded_requests.h"

namespace pushnote {
namespace {

using testing::Library;

struct ProxyCase {
    const char* name;
    int (*call)(const testing::ScratchFolder& folder);
    int result;
};

class DeadProxy : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(DeadProxy, IsUsedBySendersOnly) {
    ASSERT_TRUE(Library().Complete());
    ASSERT_EQ(Library().setAccessToken("proxy-token"), 1);
    const testing::RecordedRequests records;
    const std::size_t before = records.Count();
    const testing::ScratchFolder folder;
    EXPECT_EQ(GetParam().call(folder), GetParam().result);
    EXPECT_EQ(records.Count(), before + (GetParam().result == PUSHNOTE_OK ? 1 : 0));
}

INSTANTIATE_TEST_SUITE_P(
    Calls, DeadProxy,
    ::testing::Values(
        ProxyCase{"text_note_fails_to_send",
                  [](const testing::ScratchFolder&) { return Library().pushNote("Hello"); },
                  PUSHNOTE_ERROR_SEND},
        ProxyCase{"image_note_fails_to_send",
                  [](const testing::ScratchFolder& folder) {
                      const std::string png("\x89PNG\r\n\x1A\n\0\0", 10);
                      return Library().pushNoteWithImage("Hi", folder.Write("a.png", png).c_str());
                  },
                  PUSHNOTE_ERROR_SEND},
        ProxyCase{"fetch_goes_direct",
                  [](const testing::ScratchFolder&) {
                      const std::string url =
                          "https://localhost:" + std::to_string(testing::ServicePort()) +
                          "/text?text=direct";
                      char text[64] = "";
                      const int result = Library().httpReadFile(url.c_str(), text, sizeof text);
                      return result == PUSHNOTE_OK && std::string(text) == "direct" ? PUSHNOTE_OK
                                                                                    : -1000;
                  },
                  PUSHNOTE_OK}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote
