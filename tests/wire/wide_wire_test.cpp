// The wide exports through the built library (the DLL under Wine, run with
// the ANSI code pages 1252 and 932, which hold none of the emoji here): what
// arrives is the text's exact UTF-8, and a path outside the code page is
// reached.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "image/gif_writer.h"
#include "image/multipart_expectations.h"
#include "image/scratch_folder.h"
#include "pushnote.h"
#include "support/loaded_library.h"
#include "support/recorded_requests.h"

namespace pushnote::testing {
namespace {

const std::wstring kMixed = L"Chart \U0001F4C8 caf\u00E9 \u5199\u771F \u20AC";
const std::string kMixedUtf8 =
    "Chart \xF0\x9F\x93\x88 caf\xC3\xA9 \xE5\x86\x99\xE7\x9C\x9F \xE2\x82\xAC";
const std::string kTenBytePng("\x89PNG\r\n\x1A\n\0\0", 10);

std::wstring Repeat(const std::wstring& text, std::size_t times) {
    std::wstring repeated;
    for (std::size_t i = 0; i < times; ++i) repeated += text;
    return repeated;
}

// A message and what must arrive: its UTF-8, or nothing and the code.
struct WideCase {
    const char* name;
    std::wstring message;
    std::int32_t result;
    std::string arrives;
};

const WideCase kTextCases[] = {
    {"mixed_scripts_and_emoji", kMixed, PUSHNOTE_OK, kMixedUtf8},
    {"lone_surrogate", std::wstring{L'a', wchar_t(0xD83D), L'z'}, PUSHNOTE_OK, "a\xEF\xBF\xBDz"},
    {"empty", L"", PUSHNOTE_OK, ""},
    // 4087 units, the ANSI call's byte limit.
    {"longest", std::wstring(4087, L'a'), PUSHNOTE_OK, std::string(4087, 'a')},
    {"one_unit_too_long", std::wstring(4088, L'a'), PUSHNOTE_ERROR_TOO_LONG, ""},
    // "message=" and 8183 bytes of UTF-8 fill the 8192-byte body with its terminator.
    {"utf8_fills_the_body", Repeat(L"\u20AC", 2727) + L"ab", PUSHNOTE_OK,
     [] {
         std::string euros;
         for (int i = 0; i < 2727; ++i) euros += "\xE2\x82\xAC";
         return euros + "ab";
     }()},
    {"utf8_one_byte_over", Repeat(L"\u20AC", 2727) + L"abc", PUSHNOTE_ERROR_TOO_LONG, ""},
};

class WideWire : public ::testing::TestWithParam<WideCase> {
protected:
    LoadedLibrary library{LibraryUnderTest()};
    RecordedRequests records;
};

TEST_P(WideWire, PushNoteWSendsTheExactUtf8) {
    const WideCase& c = GetParam();
    auto setAccessToken = library.Find<SetAccessTokenFunction>("SetAccessToken");
    auto pushNoteW = library.Find<PushNoteWFunction>("PushNoteW");
    ASSERT_TRUE(setAccessToken && pushNoteW);
    const std::size_t before = records.Count();

    ASSERT_EQ(setAccessToken("wide-token"), 1);
    EXPECT_EQ(pushNoteW(c.message.c_str()), c.result);
    setAccessToken("");
    if (c.result != PUSHNOTE_OK) {
        EXPECT_EQ(records.Count(), before);
        return;
    }
    ASSERT_EQ(records.Count(), before + 1);
    EXPECT_EQ(records.Newest().body, "message=" + c.arrives);
    EXPECT_EQ(records.Newest().Header("Authorization"), "Bearer wide-token");
}

INSTANTIATE_TEST_SUITE_P(Messages, WideWire, ::testing::ValuesIn(kTextCases),
                         [](const auto& info) { return std::string(info.param.name); });

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// The scratch folder's path is ASCII, the same in every form.
std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

class WideImageWire : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(setAccessToken && pushNoteWithImageW);
        ASSERT_EQ(setAccessToken("wide-token"), 1);
        std::filesystem::create_directory(pictures);
    }
    void TearDown() override { setAccessToken(""); }

    LoadedLibrary library{LibraryUnderTest()};
    SetAccessTokenFunction setAccessToken = library.Find<SetAccessTokenFunction>("SetAccessToken");
    PushNoteWithImageWFunction pushNoteWithImageW =
        library.Find<PushNoteWithImageWFunction>("PushNoteWithImageW");
    RecordedRequests records;
    ScratchFolder folder;
    // A folder named in CJK and an emoji, beyond any ANSI code page.
    std::filesystem::path pictures =
        std::filesystem::path(folder.PathOf("")) / u8"\u5199\u771F\U0001F4C8";
    std::wstring widePictures = Widen(folder.PathOf("")) + L"\u5199\u771F\U0001F4C8/";
};

TEST_F(WideImageWire, APngInAFolderOutsideTheCodePageIsSent) {
    WriteFile(pictures / u8"chart.png", kTenBytePng);
    const std::size_t before = records.Count();
    EXPECT_EQ(pushNoteWithImageW(kMixed.c_str(), (widePictures + L"chart.png").c_str()),
              PUSHNOTE_OK);
    ASSERT_EQ(records.Count(), before + 1);
    EXPECT_EQ(records.Newest().body,
              ExpectedMessagePart(kMixedUtf8) + ExpectedImagePart("png", "png", kTenBytePng));
}

TEST_F(WideImageWire, AGifsJpegLandsBesideItUnderItsWideName) {
    GifPicture picture{16, 8, {{255, 0, 0}, {0, 0, 255}}, {}};
    picture.frames.push_back(FullFrame(16, 8, [](int x, int) { return x < 8 ? 0 : 1; }));
    WriteFile(pictures / u8"\u6708\u5831\u2705.gif", EncodeGif(picture));
    const std::size_t before = records.Count();
    EXPECT_EQ(pushNoteWithImageW(L"GIF \u2705", (widePictures + L"\u6708\u5831\u2705.gif").c_str()),
              PUSHNOTE_OK);
    const std::filesystem::path jpeg = pictures / u8"\u6708\u5831\u2705.jpg";
    ASSERT_TRUE(std::filesystem::is_regular_file(jpeg));
    ASSERT_EQ(records.Count(), before + 1);
    EXPECT_EQ(records.Newest().body, ExpectedMessagePart("GIF \xE2\x9C\x85") +
                                         ExpectedImagePart("jpg", "jpeg", ReadFile(jpeg)));
}

TEST_F(WideImageWire, LimitsAtTheirEdges) {
    WriteFile(pictures / u8"chart.png", kTenBytePng);
    const std::wstring png = widePictures + L"chart.png";
    const std::size_t before = records.Count();
    // 3999 units, the ANSI call's byte limit; the part has no UTF-8 cap.
    EXPECT_EQ(
        pushNoteWithImageW(Repeat(L"\U0001F4C8", 3999 / (sizeof(wchar_t) == 2 ? 2 : 1)).c_str(),
                           png.c_str()),
        PUSHNOTE_OK);
    EXPECT_EQ(pushNoteWithImageW(std::wstring(3999, L'a').c_str(), png.c_str()), PUSHNOTE_OK);
    EXPECT_EQ(pushNoteWithImageW(std::wstring(4000, L'a').c_str(), png.c_str()),
              PUSHNOTE_ERROR_TOO_LONG);
    // 259 units of path, as the ANSI call's 259 bytes.
    const std::size_t nameLength = 259 - widePictures.size();
    WriteFile(pictures / (std::string(nameLength - 4, 'n') + ".png"), kTenBytePng);
    EXPECT_EQ(pushNoteWithImageW(
                  L"", (widePictures + std::wstring(nameLength - 4, L'n') + L".png").c_str()),
              PUSHNOTE_OK);
    WriteFile(pictures / (std::string(nameLength - 3, 'n') + ".png"), kTenBytePng);
    EXPECT_EQ(pushNoteWithImageW(
                  L"", (widePictures + std::wstring(nameLength - 3, L'n') + L".png").c_str()),
              PUSHNOTE_ERROR_IMAGE_FILE);
    EXPECT_EQ(pushNoteWithImageW(L"", (widePictures + L"chart.bmp").c_str()),
              PUSHNOTE_ERROR_IMAGE_TYPE);
    EXPECT_EQ(records.Count(), before + 3);
}

}  // namespace
}  // namespace pushnote::testing
