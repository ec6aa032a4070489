#include "notify/image_part.h"

#include <gtest/gtest.h>

#include <string>

#include "image/gif_writer.h"
#include "image/jpeg_probe.h"
#include "image/multipart_expectations.h"
#include "image/native_path_of.h"
#include "image/scratch_folder.h"
#include "support/memory_probe.h"

namespace pushnote {
namespace {

using testing::ExpectedImagePart;
using testing::kDelimiterLine;
using testing::MemoryProbe;
using testing::NativePathOf;
using testing::ScratchFolder;

const std::string kTenBytePng("\x89PNG\r\n\x1A\n\0\0", 10);

std::string SmallGif() {
    testing::GifPicture picture{16, 8, {{10, 200, 30}}, {}};
    picture.frames.push_back(testing::FullFrame(16, 8, [](int, int) { return 0; }));
    return testing::EncodeGif(picture);
}

// Builds the part and writes it out whole; the text is empty on error.
std::string BuildAndWrite(const std::string& path, ResultCode& error, WorkingPath& workingPath) {
    ImagePart part = BuildImagePart(path.c_str(), kDelimiterLine.c_str(), error, workingPath);
    if (error) {
        EXPECT_FALSE(part);
        return "";
    }
    std::string bytes(static_cast<std::size_t>(part.length()), '\0');
    EXPECT_EQ(part.WriteTo(bytes.data()), 0);
    return bytes;
}

struct PartCase {
    const char* name;
    const char* fileName;
    std::string content;
    std::string extension;
    std::string subtype;
};

const PartCase kSentAsTheyAre[] = {
    {"png_of_ten_bytes", "a.png", kTenBytePng, "png", "png"},
    {"upper_case_jpeg", "PHOTO.JPEG", "\xFF\xD8 jpeg bytes \xFF\xD9", "jpg", "jpeg"},
    {"jpg_holding_every_byte_value", "all.jpg", std::string("\0\r\n--\xFF", 6), "jpg", "jpeg"},
};

class SentAsTheyAre : public ::testing::TestWithParam<PartCase> {};

TEST_P(SentAsTheyAre, WrapsTheFileBytesUnchanged) {
    const PartCase& c = GetParam();
    ScratchFolder folder;
    const std::string path = folder.Write(c.fileName, c.content);
    ResultCode error = 777;
    WorkingPath workingPath;
    MemoryProbe probe;
    EXPECT_EQ(BuildAndWrite(path, error, workingPath),
              ExpectedImagePart(c.extension, c.subtype, c.content));
    EXPECT_EQ(error, 0);
    EXPECT_EQ(workingPath.text, NativePathOf(path));
    EXPECT_EQ(probe.Outstanding(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Files, SentAsTheyAre, ::testing::ValuesIn(kSentAsTheyAre),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildImagePart, ATenBytePngMakesA200BytePart) {
    ScratchFolder folder;
    ResultCode error = 0;
    WorkingPath workingPath;
    EXPECT_EQ(BuildAndWrite(folder.Write("a.png", kTenBytePng), error, workingPath).size(), 200u);
}

TEST(BuildImagePart, SendsAGifAsTheJpegConvertedBesideIt) {
    ScratchFolder folder;
    const std::string gif = folder.Write("anim.gif", SmallGif());
    ResultCode error = 0;
    WorkingPath workingPath;
    const std::string part = BuildAndWrite(gif, error, workingPath);
    ASSERT_EQ(error, 0);
    EXPECT_EQ(workingPath.text, NativePathOf(folder.PathOf("anim.jpg")));
    const std::string jpeg = folder.Read("anim.jpg");
    EXPECT_EQ(part, ExpectedImagePart("jpg", "jpeg", jpeg));
    const auto decoded = testing::DecodeJpegFile(folder.PathOf("anim.jpg"));
    ASSERT_TRUE(decoded.decoded);
    EXPECT_EQ(decoded.width, 16u);
    EXPECT_EQ(decoded.height, 8u);
}

struct RefusalCase {
    const char* name;
    const char* fileName;  // created when content is set
    const char* content;
    std::string loadName;
    ResultCode error;
};

const RefusalCase kRefusals[] = {
    {"bmp", "a.bmp", "BM", "a.bmp", -60},
    {"no_dot", "README", "x", "README", -60},
    {"trailing_dot", "a.", "x", "a.", -60},
    {"missing_png", nullptr, nullptr, "absent.png", -50},
    {"missing_gif", nullptr, nullptr, "absent.gif", -50},
    {"empty_png", "empty.png", "", "empty.png", -30},
    {"corrupt_gif", "bad.gif", "GIF89a and garbage", "bad.gif", -50},
    {"path_too_long_for_the_working_path", nullptr, nullptr, std::string(300, 'p') + ".png", -50},
    // The type is checked on the path text first.
    {"long_path_of_a_refused_type", nullptr, nullptr, std::string(300, 'p') + ".bmp", -60},
};

class Refusals : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(Refusals, GiveTheirCodeAndHoldNothing) {
    const RefusalCase& c = GetParam();
    ScratchFolder folder;
    if (c.fileName) folder.Write(c.fileName, c.content);
    ResultCode error = 0;
    WorkingPath workingPath;
    MemoryProbe probe;
    BuildAndWrite(folder.PathOf(c.loadName), error, workingPath);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(probe.Outstanding(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Paths, Refusals, ::testing::ValuesIn(kRefusals),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BuildImagePart, ThePathMayFillTheWorkingPathButNotExceedIt) {
    ScratchFolder folder;
    const std::size_t folderLength = folder.PathOf("").size();
    for (std::size_t length : {WorkingPath::kMaxHostLength, WorkingPath::kMaxHostLength + 1}) {
        SCOPED_TRACE(std::to_string(length) + " characters");
        const std::string name = std::string(length - folderLength - 4, 'n') + ".png";
        const std::string path = folder.Write(name, kTenBytePng);
        ASSERT_EQ(path.size(), length);
        ResultCode error = 0;
        WorkingPath workingPath;
        BuildAndWrite(path, error, workingPath);
        EXPECT_EQ(error, length <= WorkingPath::kMaxHostLength ? 0 : -50);
    }
}

TEST(BuildImagePart, AnEmptyPathIsRefusedByType) {
    ResultCode error = 0;
    WorkingPath workingPath;
    BuildAndWrite("", error, workingPath);
    EXPECT_EQ(error, -60);
}

}  // namespace
}  // namespace pushnote
