#include "image/convert_image_to_jpeg.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "image/gif_writer.h"
#include "image/jpeg_probe.h"
#include "image/native_path_of.h"
#include "image/scratch_folder.h"
#include "support/memory_probe.h"

namespace pushnote {
namespace {

using testing::DecodeJpegFile;
using testing::EncodeGif;
using testing::FullFrame;
using testing::GifFrame;
using testing::GifPicture;
using testing::MemoryProbe;
using testing::NativePathOf;
using testing::NearlyEqual;
using testing::Rgb;
using testing::ScratchFolder;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kWhite{255, 255, 255};
constexpr const char* kStaleJpeg = "an older JPEG that must survive";

// 64 x 32 in four solid quadrants (red, green, blue, transparent) whose edges
// lie on 16-pixel JPEG blocks, so each quadrant keeps its colour inside.
std::string QuadrantsGif(bool interlaced = false) {
    GifPicture picture{64, 32, {kRed, kGreen, kBlue, Rgb{0, 0, 0}}, {}};
    GifFrame frame =
        FullFrame(64, 32, [](int x, int y) { return (x >= 32 ? 1 : 0) + (y >= 16 ? 2 : 0); });
    frame.transparentIndex = 3;
    frame.interlaced = interlaced;
    picture.frames.push_back(frame);
    return EncodeGif(picture);
}

class ConvertImageToJpegTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    WorkingPath destination;
};

TEST_F(ConvertImageToJpegTest, WritesADecodableJpegBesideTheGif) {
    for (bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced ? "interlaced" : "progressive rows");
        const std::string gif = folder.Write("shot.gif", QuadrantsGif(interlaced));
        ASSERT_TRUE(ConvertImageToJpeg(NativePathOf(gif).c_str(), destination));
        EXPECT_EQ(destination.text, NativePathOf(folder.PathOf("shot.jpg")));

        const auto jpeg = DecodeJpegFile(folder.PathOf("shot.jpg"));
        ASSERT_TRUE(jpeg.decoded);
        EXPECT_EQ(jpeg.width, 64u);
        EXPECT_EQ(jpeg.height, 32u);
        // Sampled in the middle of each quadrant.
        EXPECT_TRUE(NearlyEqual(jpeg.At(16, 8), kRed));
        EXPECT_TRUE(NearlyEqual(jpeg.At(48, 8), kGreen));
        EXPECT_TRUE(NearlyEqual(jpeg.At(16, 24), kBlue));
        EXPECT_TRUE(NearlyEqual(jpeg.At(48, 24), kWhite));
    }
}

TEST_F(ConvertImageToJpegTest, KeepsNameAndFolderAndOnlyChangesTheExtension) {
    const std::string gif = folder.Write("Pic.v2.GIF", QuadrantsGif());
    ASSERT_TRUE(ConvertImageToJpeg(NativePathOf(gif).c_str(), destination));
    EXPECT_EQ(destination.text, NativePathOf(folder.PathOf("Pic.v2.jpg")));
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"Pic.v2.GIF", "Pic.v2.jpg"}));
}

TEST_F(ConvertImageToJpegTest, ReplacesAnOlderJpegAndLeavesNoTemporaryFile) {
    folder.Write("shot.jpg", kStaleJpeg);
    const std::string gif = folder.Write("shot.gif", QuadrantsGif());
    ASSERT_TRUE(ConvertImageToJpeg(NativePathOf(gif).c_str(), destination));
    EXPECT_TRUE(DecodeJpegFile(folder.PathOf("shot.jpg")).decoded);
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"shot.gif", "shot.jpg"}));
}

TEST_F(ConvertImageToJpegTest, ACorruptGifLeavesTheOlderJpegUntouched) {
    folder.Write("shot.jpg", kStaleJpeg);
    const std::string gif = folder.Write("shot.gif", "GIF89a, then nothing that decodes");
    EXPECT_FALSE(ConvertImageToJpeg(NativePathOf(gif).c_str(), destination));
    EXPECT_EQ(folder.Read("shot.jpg"), kStaleJpeg);
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"shot.gif", "shot.jpg"}));
}

TEST_F(ConvertImageToJpegTest, AFailedMoveIntoPlaceLeavesNoTemporaryFile) {
    // A folder where the JPEG should go: writing works, replacing cannot.
    std::filesystem::create_directory(folder.PathOf("shot.jpg"));
    const std::string gif = folder.Write("shot.gif", QuadrantsGif());
    EXPECT_FALSE(ConvertImageToJpeg(NativePathOf(gif).c_str(), destination));
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"shot.gif", "shot.jpg"}));
    EXPECT_TRUE(std::filesystem::is_directory(folder.PathOf("shot.jpg")));
}

TEST_F(ConvertImageToJpegTest, AMissingGifCreatesNothing) {
    EXPECT_FALSE(
        ConvertImageToJpeg(NativePathOf(folder.PathOf("absent.gif")).c_str(), destination));
    EXPECT_TRUE(folder.Names().empty());
}

TEST_F(ConvertImageToJpegTest, EveryMemoryFailureCleansUpAndLeavesNoFile) {
    folder.Write("shot.jpg", kStaleJpeg);
    const std::string gif = folder.Write("shot.gif", QuadrantsGif());
    bool converted = false;
    for (int failAt = 1; failAt < 50 && !converted; ++failAt) {
        SCOPED_TRACE("memory request " + std::to_string(failAt) + " fails");
        MemoryProbe probe(failAt);
        converted = ConvertImageToJpeg(NativePathOf(gif).c_str(), destination);
        EXPECT_EQ(probe.Outstanding(), 0u);
        EXPECT_EQ(folder.Names(), (std::set<std::string>{"shot.gif", "shot.jpg"}));
        if (!converted) {
            EXPECT_EQ(folder.Read("shot.jpg"), kStaleJpeg);
        }
    }
    EXPECT_TRUE(converted);
}

}  // namespace
}  // namespace pushnote
