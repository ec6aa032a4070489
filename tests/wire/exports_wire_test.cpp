// The built library as hosts see it: loaded at run time, each export found
// by name (and on Windows by its fixed ordinal), called through the exported
// calling convention.
#include <gtest/gtest.h>

#include <string>

#include "pushnote.h"
#include "support/loaded_library.h"
#include "support/recorded_requests.h"

namespace pushnote::testing {
namespace {

struct Export {
    const char* name;
    int ordinal;
};

class Exports : public ::testing::Test {
protected:
    LoadedLibrary library{LibraryUnderTest()};
};

TEST_F(Exports, EachIsFoundByNameAndByItsOrdinal) {
    ASSERT_TRUE(library.Loaded());
    for (const Export& e : {Export{"HttpReadFile", 1}, Export{"SetAccessToken", 2},
                            Export{"PushNote", 3}, Export{"PushNoteWithImage", 4},
                            Export{"PushNoteW", 5}, Export{"PushNoteWithImageW", 6}}) {
        void* byName = library.Find(e.name);
        EXPECT_NE(byName, nullptr) << e.name;
        if (void* byOrdinal = library.FindByOrdinal(e.ordinal)) {
            EXPECT_EQ(byOrdinal, byName) << e.name;
        }
    }
}

TEST_F(Exports, TokenAndTextNotificationThroughTheLibrary) {
    ASSERT_TRUE(library.Loaded());
    auto setAccessToken = library.Find<SetAccessTokenFunction>("SetAccessToken");
    auto pushNote = library.Find<PushNoteFunction>("PushNote");
    ASSERT_TRUE(setAccessToken && pushNote);
    const RecordedRequests records;
    const std::size_t before = records.Count();

    EXPECT_EQ(setAccessToken(""), 1);
    EXPECT_EQ(pushNote("Hello"), PUSHNOTE_ERROR_NO_TOKEN);
    EXPECT_EQ(setAccessToken("library-token"), 1);
    EXPECT_EQ(setAccessToken(std::string(257, 't').c_str()), 0);
    EXPECT_EQ(setAccessToken("bad\r\ntoken"), 0);
    EXPECT_EQ(pushNote("Hello"), PUSHNOTE_OK);
    EXPECT_EQ(pushNote(nullptr), PUSHNOTE_OK);
    EXPECT_EQ(pushNote(std::string(4088, 'a').c_str()), PUSHNOTE_ERROR_TOO_LONG);

    ASSERT_EQ(records.Count(), before + 2);
    EXPECT_EQ(records.Read(before + 1).body, "message=Hello");
    EXPECT_EQ(records.Read(before + 1).Header("Authorization"), "Bearer library-token");
    EXPECT_EQ(records.Read(before + 2).body, "message=");
}

TEST_F(Exports, FetchAndImageRefusalsThroughTheLibrary) {
    ASSERT_TRUE(library.Loaded());
    auto httpReadFile = library.Find<HttpReadFileFunction>("HttpReadFile");
    auto pushNoteWithImage = library.Find<PushNoteWithImageFunction>("PushNoteWithImage");
    auto setAccessToken = library.Find<SetAccessTokenFunction>("SetAccessToken");
    ASSERT_TRUE(httpReadFile && pushNoteWithImage && setAccessToken);

    char text[16] = "untouched";
    const std::string url =
        "https://localhost:" + std::to_string(ServicePort()) + "/text?text=fetched";
    EXPECT_EQ(httpReadFile(url.c_str(), text, sizeof text), PUSHNOTE_OK);
    EXPECT_STREQ(text, "fetched");
    EXPECT_EQ(httpReadFile(url.c_str(), text, 0), PUSHNOTE_ERROR_TOO_LONG);

    ASSERT_EQ(setAccessToken("library-token"), 1);
    const RecordedRequests records;
    const std::size_t before = records.Count();
    EXPECT_EQ(pushNoteWithImage("Hi", "picture.bmp"), PUSHNOTE_ERROR_IMAGE_TYPE);
    EXPECT_EQ(pushNoteWithImage("Hi", "no-such-picture.png"), PUSHNOTE_ERROR_IMAGE_FILE);
    EXPECT_EQ(pushNoteWithImage(nullptr, nullptr), PUSHNOTE_ERROR_IMAGE_TYPE);
    EXPECT_EQ(records.Count(), before);
}

}  // namespace
}  // namespace pushnote::testing
