#include "image/load_image_file.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "image/native_path_of.h"
#include "image/scratch_folder.h"
#include "image/special_files.h"

namespace pushnote {
namespace {

using testing::NativePathOf;
using testing::ScratchFolder;
using namespace std::chrono_literals;

constexpr std::uint64_t kGiB = std::uint64_t{1} << 30;

struct LoadCase {
    const char* name;
    const char* fileName;  // created with content, unless content is null
    const char* content;
    const char* loadName;
    ResultCode error;
    const char* extension;
    const char* subtype;
};

const LoadCase kCases[] = {
    {"png", "a.png", "0123456789", "a.png", 0, "png", "png"},
    {"upper_jpeg", "A.JPEG", "jpeg bytes", "A.JPEG", 0, "jpg", "jpeg"},
    {"jpg", "a.jpg", "x", "a.jpg", 0, "jpg", "jpeg"},
    {"bmp_refused_though_present", "a.bmp", "BM", "a.bmp", -60, "", ""},
    {"no_dot", "noextension", "x", "noextension", -60, "", ""},
    {"missing", nullptr, nullptr, "absent.png", -50, "", ""},
    {"empty", "empty.png", "", "empty.png", -30, "", ""},
};

class LoadImageFileTest : public ::testing::TestWithParam<LoadCase> {};

TEST_P(LoadImageFileTest, ClassifiesOpensAndMeasures) {
    const LoadCase& c = GetParam();
    ScratchFolder folder;
    if (c.fileName) folder.Write(c.fileName, c.content);
    ResultCode error = 12345;
    ImageFile image = LoadImageFile(NativePathOf(folder.PathOf(c.loadName)).c_str(), error);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(static_cast<bool>(image), c.error == 0);
    if (c.error != 0) return;
    EXPECT_STREQ(image.extension(), c.extension);
    EXPECT_STREQ(image.subtype(), c.subtype);
    ASSERT_EQ(image.size(), std::string(c.content).size());
    std::string bytes(image.size(), '\0');
    EXPECT_TRUE(image.ReadWholeInto(bytes.data()));
    EXPECT_EQ(bytes, c.content);
}

INSTANTIATE_TEST_SUITE_P(Files, LoadImageFileTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadImageFile, AFolderWithAnImageNameCannotBeOpened) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.PathOf("folder.png"));
    ResultCode error = 0;
    EXPECT_FALSE(LoadImageFile(NativePathOf(folder.PathOf("folder.png")).c_str(), error));
    EXPECT_EQ(error, -50);
}

class PipeWithAnImageName : public ::testing::TestWithParam<const char*> {};

TEST_P(PipeWithAnImageName, IsMinus50WithoutWaitingForAWriter) {
    ScratchFolder folder;
    testing::WaitingPipe pipe(folder, GetParam());
    ResultCode error = 0;
    const auto loaded = pipe.ResultWithin(5s, [&] {
        return static_cast<bool>(LoadImageFile(NativePathOf(pipe.path()).c_str(), error));
    });
    ASSERT_TRUE(loaded.has_value()) << "still waiting for a writer after 5 s";
    EXPECT_FALSE(*loaded);
    EXPECT_EQ(error, -50);
}

INSTANTIATE_TEST_SUITE_P(Names, PipeWithAnImageName,
                         ::testing::Values("pipe.png", "pipe.jpg", "pipe.JPEG"));

TEST(LoadImageFile, TheNullDeviceWithAnImageNameIsMinus50) {
    ScratchFolder folder;
    ResultCode error = 0;
    EXPECT_FALSE(
        LoadImageFile(NativePathOf(testing::NullDeviceNamedLikeAPng(folder)).c_str(), error));
    EXPECT_EQ(error, -50);
}

// Sparse files: they take no disk space however large they claim to be.
class SparseFile : public ::testing::TestWithParam<std::uint64_t> {};

TEST_P(SparseFile, Of4GiBOrMoreIsMinus40) {
    ScratchFolder folder;
    const std::string path = folder.Write("huge.png", "\x89PNG");
    std::filesystem::resize_file(path, GetParam());
    ResultCode error = 0;
    EXPECT_FALSE(LoadImageFile(NativePathOf(path).c_str(), error));
    EXPECT_EQ(error, -40);
}

INSTANTIATE_TEST_SUITE_P(Sizes, SparseFile,
                         ::testing::Values(4 * kGiB, 4 * kGiB + 1, 6 * kGiB + 4097));

#if defined(_WIN32)
TEST(LoadImageFile, NoOtherOpenerCanWriteTheFileWhileItIsOpen) {
    ScratchFolder folder;
    const std::string path = folder.Write("held.png", "0123456789");
    ResultCode error = 0;
    ImageFile image = LoadImageFile(NativePathOf(path).c_str(), error);
    ASSERT_EQ(error, 0);
    EXPECT_FALSE(std::ofstream(path, std::ios::binary | std::ios::app).is_open());
}
#else
TEST(LoadImageFile, AFileThatShrankAfterMeasuringIsAShortRead) {
    ScratchFolder folder;
    const std::string path = folder.Write("shrinking.png", "0123456789");
    ResultCode error = 0;
    ImageFile image = LoadImageFile(NativePathOf(path).c_str(), error);
    ASSERT_EQ(error, 0);
    std::filesystem::resize_file(path, 4);
    std::string bytes(image.size(), '\0');
    EXPECT_FALSE(image.ReadWholeInto(bytes.data()));
}
#endif

}  // namespace
}  // namespace pushnote
