#include <gtest/gtest.h>

#include <string>

#include "image/gif_writer.h"
#include "image/image_codec.h"
#include "image/scratch_folder.h"

namespace pushnote::image {
namespace {

using testing::EncodeGif;
using testing::FullFrame;
using testing::GifFrame;
using testing::GifPicture;
using testing::Rgb;
using testing::ScratchFolder;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

Rgb PixelAt(const LoadedImage& image, std::uint32_t x, std::uint32_t y) {
    const auto* bgr = reinterpret_cast<const unsigned char*>(image.pixels.data()) +
                      (static_cast<std::size_t>(y) * image.width + x) * 3;
    return Rgb{bgr[2], bgr[1], bgr[0]};
}

// Compares every pixel with expected(x, y) and names the first that differs.
template <typename Expected>
::testing::AssertionResult PixelsAre(const LoadedImage& image, Expected expected) {
    for (std::uint32_t y = 0; y < image.height; ++y) {
        for (std::uint32_t x = 0; x < image.width; ++x) {
            const Rgb got = PixelAt(image, x, y);
            const Rgb want = expected(x, y);
            if (!(got == want)) {
                return ::testing::AssertionFailure()
                       << "pixel (" << x << ", " << y << ") is " << int(got.red) << ","
                       << int(got.green) << "," << int(got.blue) << " instead of " << int(want.red)
                       << "," << int(want.green) << "," << int(want.blue);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

class LoadGifImageTest : public ::testing::Test {
protected:
    LoadedImage Load(const GifPicture& picture) {
        return LoadGifImage(folder.Write("picture.gif", EncodeGif(picture)).c_str());
    }
    ScratchFolder folder;
};

TEST_F(LoadGifImageTest, DecodesEveryPixelOfAPlainGif) {
    GifPicture picture{5, 3, {kRed, kGreen, kBlue, kYellow}, {}};
    picture.frames.push_back(FullFrame(5, 3, [](int x, int y) { return (x + y) % 4; }));
    const LoadedImage image = Load(picture);
    ASSERT_TRUE(image);
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.height, 3u);
    EXPECT_TRUE(PixelsAre(image, [&](int x, int y) { return picture.globalColours[(x + y) % 4]; }));
}

TEST_F(LoadGifImageTest, PutsTheRowsOfAnInterlacedGifInPlace) {
    // Ten rows of ten colours: every pass of the interlacing has rows.
    GifPicture picture{3, 10, {}, {}};
    for (int row = 0; row < 10; ++row) {
        picture.globalColours.push_back(Rgb{static_cast<std::uint8_t>(row * 25), 0, 0});
    }
    GifFrame frame = FullFrame(3, 10, [](int, int y) { return y; });
    frame.interlaced = true;
    picture.frames.push_back(frame);
    const LoadedImage image = Load(picture);
    ASSERT_TRUE(image);
    EXPECT_TRUE(PixelsAre(image, [&](int, int y) { return picture.globalColours[y]; }));
}

TEST_F(LoadGifImageTest, ShowsTransparentPixelsAsWhite) {
    GifPicture picture{3, 2, {kBlack, kGreen}, {}};
    GifFrame frame = FullFrame(3, 2, [](int x, int) { return x == 1 ? 1 : 0; });
    frame.transparentIndex = 1;
    picture.frames.push_back(frame);
    const LoadedImage image = Load(picture);
    ASSERT_TRUE(image);
    EXPECT_TRUE(PixelsAre(image, [](int x, int) { return x == 1 ? kWhite : kBlack; }));
}

TEST_F(LoadGifImageTest, TakesTheFirstFrameOfAnAnimation) {
    GifPicture picture{4, 4, {kRed, kBlue}, {}};
    picture.frames.push_back(FullFrame(4, 4, [](int, int) { return 0; }));
    picture.frames.push_back(FullFrame(4, 4, [](int, int) { return 1; }));
    const LoadedImage image = Load(picture);
    ASSERT_TRUE(image);
    EXPECT_TRUE(PixelsAre(image, [](int, int) { return kRed; }));
}

TEST_F(LoadGifImageTest, PlacesAFrameSmallerThanTheCanvasOnWhite) {
    GifPicture picture{6, 4, {kBlack}, {}};
    GifFrame frame = FullFrame(2, 2, [](int, int) { return 0; });
    frame.left = 3;
    frame.top = 1;
    picture.frames.push_back(frame);
    const LoadedImage image = Load(picture);
    ASSERT_TRUE(image);
    EXPECT_EQ(image.width, 6u);
    EXPECT_EQ(image.height, 4u);
    EXPECT_TRUE(PixelsAre(
        image, [](int x, int y) { return x >= 3 && x < 5 && y >= 1 && y < 3 ? kBlack : kWhite; }));
}

TEST_F(LoadGifImageTest, PrefersTheFramesOwnColourTable) {
    GifPicture picture{2, 2, {kRed}, {}};
    GifFrame frame = FullFrame(2, 2, [](int, int) { return 0; });
    frame.localColours = {kBlue};
    picture.frames.push_back(frame);
    const LoadedImage image = Load(picture);
    ASSERT_TRUE(image);
    EXPECT_TRUE(PixelsAre(image, [](int, int) { return kBlue; }));
}

TEST_F(LoadGifImageTest, RefusesAHugeCanvasBeforeHoldingIt) {
    GifPicture picture{60000, 60000, {kRed}, {}};
    picture.frames.push_back(FullFrame(1, 1, [](int, int) { return 0; }));
    EXPECT_FALSE(Load(picture));
}

struct BrokenCase {
    const char* name;
    std::string bytes;
};

std::string TruncatedGif() {
    GifPicture picture{64, 64, {kRed, kBlue}, {}};
    picture.frames.push_back(FullFrame(64, 64, [](int x, int y) { return (x ^ y) & 1; }));
    const std::string whole = EncodeGif(picture);
    return whole.substr(0, whole.size() / 2);
}

const BrokenCase kBrokenCases[] = {
    {"empty_file", ""},
    {"signature_only", "GIF89a"},
    {"garbage_after_signature", "GIF89a\x10\x00\x10\x00 this is not a GIF at all"},
    {"png_named_gif", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)},
    {"pixel_data_cut_in_half", TruncatedGif()},
};

class BrokenGifTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenGifTest, LoadsNothing) {
    ScratchFolder folder;
    EXPECT_FALSE(LoadGifImage(folder.Write("broken.gif", GetParam().bytes).c_str()));
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenGifTest, ::testing::ValuesIn(kBrokenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LoadGifImage, LoadsNothingFromAMissingFile) {
    ScratchFolder folder;
    EXPECT_FALSE(LoadGifImage(folder.PathOf("missing.gif").c_str()));
}

}  // namespace
}  // namespace pushnote::image
