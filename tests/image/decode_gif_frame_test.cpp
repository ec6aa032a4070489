#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/gif_writer.h"
#include "image/image_codec.h"
#include "image/native_path_of.h"
#include "image/scratch_folder.h"

namespace pushnote::image {
namespace {

using testing::EncodeGif;
using testing::FullFrame;
using testing::GifFrame;
using testing::GifPicture;
using testing::NativePathOf;
using testing::Rgb;
using testing::ScratchFolder;

constexpr Rgb kRed{255, 0, 0};
constexpr Rgb kGreen{0, 255, 0};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};

// Keeps every row it is handed and checks that the decoder keeps the order:
// Start once, then rows of the announced width, never more than announced.
class PictureSink final : public ScanlineSink {
public:
    bool Start(std::uint32_t width, std::uint32_t height) noexcept override {
        EXPECT_FALSE(started_);
        started_ = true;
        this->width = width;
        this->height = height;
        return true;
    }
    bool Write(const unsigned char* rows, std::uint32_t rowCount) noexcept override {
        EXPECT_TRUE(started_);
        EXPECT_GT(rowCount, 0u);
        bgr.insert(bgr.end(), rows, rows + std::size_t{rowCount} * width * 3);
        EXPECT_LE(bgr.size(), std::size_t{width} * height * 3);
        return true;
    }
    bool Complete() const { return started_ && bgr.size() == std::size_t{width} * height * 3; }

    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<unsigned char> bgr;

private:
    bool started_ = false;
};

Rgb PixelAt(const PictureSink& image, std::uint32_t x, std::uint32_t y) {
    const unsigned char* bgr =
        image.bgr.data() + (static_cast<std::size_t>(y) * image.width + x) * 3;
    return Rgb{bgr[2], bgr[1], bgr[0]};
}

// Compares every pixel with expected(x, y) and names the first that differs.
template <typename Expected>
::testing::AssertionResult PixelsAre(const PictureSink& image, Expected expected) {
    if (!image.Complete()) return ::testing::AssertionFailure() << "rows are missing";
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

// Every test decodes twice: from an open file and from memory.
class DecodeGifFrameTest : public ::testing::Test {
protected:
    PictureSink Load(const GifPicture& picture) {
        const std::string bytes = EncodeGif(picture);
        PictureSink fromFile;
        files::ReadOnlyFile file =
            files::ReadOnlyFile::Open(NativePathOf(folder.Write("picture.gif", bytes)).c_str());
        const bool decodedFile = DecodeGifFrame(file, fromFile);
        PictureSink fromMemory;
        const bool decodedMemory = DecodeGifFrame(
            reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), fromMemory);
        EXPECT_EQ(decodedFile, decodedMemory);
        EXPECT_EQ(fromFile.bgr, fromMemory.bgr);
        if (!decodedFile) return PictureSink();
        return fromFile;
    }
    ScratchFolder folder;
};

TEST_F(DecodeGifFrameTest, DecodesEveryPixelOfAPlainGif) {
    GifPicture picture{5, 3, {kRed, kGreen, kBlue, kYellow}, {}};
    picture.frames.push_back(FullFrame(5, 3, [](int x, int y) { return (x + y) % 4; }));
    const PictureSink image = Load(picture);
    ASSERT_TRUE(image.Complete());
    EXPECT_EQ(image.width, 5u);
    EXPECT_EQ(image.height, 3u);
    EXPECT_TRUE(PixelsAre(image, [&](int x, int y) { return picture.globalColours[(x + y) % 4]; }));
}

TEST_F(DecodeGifFrameTest, PutsTheRowsOfAnInterlacedGifInPlace) {
    // Ten rows of ten colours: every pass of the interlacing has rows.
    GifPicture picture{3, 10, {}, {}};
    for (int row = 0; row < 10; ++row) {
        picture.globalColours.push_back(Rgb{static_cast<std::uint8_t>(row * 25), 0, 0});
    }
    GifFrame frame = FullFrame(3, 10, [](int, int y) { return y; });
    frame.interlaced = true;
    picture.frames.push_back(frame);
    const PictureSink image = Load(picture);
    ASSERT_TRUE(image.Complete());
    EXPECT_TRUE(PixelsAre(image, [&](int, int y) { return picture.globalColours[y]; }));
}

TEST_F(DecodeGifFrameTest, ShowsTransparentPixelsAsWhite) {
    GifPicture picture{3, 2, {kBlack, kGreen}, {}};
    GifFrame frame = FullFrame(3, 2, [](int x, int) { return x == 1 ? 1 : 0; });
    frame.transparentIndex = 1;
    picture.frames.push_back(frame);
    const PictureSink image = Load(picture);
    ASSERT_TRUE(image.Complete());
    EXPECT_TRUE(PixelsAre(image, [](int x, int) { return x == 1 ? kWhite : kBlack; }));
}

TEST_F(DecodeGifFrameTest, TakesTheFirstFrameOfAnAnimation) {
    GifPicture picture{4, 4, {kRed, kBlue}, {}};
    picture.frames.push_back(FullFrame(4, 4, [](int, int) { return 0; }));
    picture.frames.push_back(FullFrame(4, 4, [](int, int) { return 1; }));
    const PictureSink image = Load(picture);
    ASSERT_TRUE(image.Complete());
    EXPECT_TRUE(PixelsAre(image, [](int, int) { return kRed; }));
}

// Frames that cover part of the canvas, or reach past it, in rows as they
// come and interlaced.
struct PlacementCase {
    const char* name;
    std::uint16_t left, top, width, height;
    bool interlaced;
};

const PlacementCase kPlacementCases[] = {
    {"inside", 3, 1, 2, 2, false},          {"inside_interlaced", 3, 1, 2, 2, true},
    {"past_the_corner", 4, 2, 5, 9, false}, {"past_the_corner_interlaced", 4, 2, 5, 9, true},
    {"left_of_nothing", 6, 0, 3, 4, false}, {"below_everything_interlaced", 0, 4, 6, 10, true},
};

class FramePlacementTest : public DecodeGifFrameTest,
                           public ::testing::WithParamInterface<PlacementCase> {};

TEST_P(FramePlacementTest, ShowsTheVisiblePartOnWhite) {
    const PlacementCase& placement = GetParam();
    GifPicture picture{6, 4, {kBlack, kBlue}, {}};
    GifFrame frame = FullFrame(placement.width, placement.height, [](int x, int) { return x % 2; });
    frame.left = placement.left;
    frame.top = placement.top;
    frame.interlaced = placement.interlaced;
    picture.frames.push_back(frame);
    const PictureSink image = Load(picture);
    ASSERT_TRUE(image.Complete());
    EXPECT_EQ(image.width, 6u);
    EXPECT_EQ(image.height, 4u);
    EXPECT_TRUE(PixelsAre(image, [&](int x, int y) {
        const bool inside = x >= placement.left && x < placement.left + placement.width &&
                            y >= placement.top && y < placement.top + placement.height;
        if (!inside) return kWhite;
        return (x - placement.left) % 2 ? kBlue : kBlack;
    }));
}

INSTANTIATE_TEST_SUITE_P(Frames, FramePlacementTest, ::testing::ValuesIn(kPlacementCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DecodeGifFrameTest, PrefersTheFramesOwnColourTable) {
    GifPicture picture{2, 2, {kRed}, {}};
    GifFrame frame = FullFrame(2, 2, [](int, int) { return 0; });
    frame.localColours = {kBlue};
    picture.frames.push_back(frame);
    const PictureSink image = Load(picture);
    ASSERT_TRUE(image.Complete());
    EXPECT_TRUE(PixelsAre(image, [](int, int) { return kBlue; }));
}

TEST_F(DecodeGifFrameTest, RefusesAHugeCanvasBeforeHoldingIt) {
    GifPicture picture{60000, 60000, {kRed}, {}};
    picture.frames.push_back(FullFrame(1, 1, [](int, int) { return 0; }));
    EXPECT_FALSE(Load(picture).Complete());
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

TEST_P(BrokenGifTest, DecodesNothingFromFileOrMemory) {
    ScratchFolder folder;
    const std::string& bytes = GetParam().bytes;
    files::ReadOnlyFile file =
        files::ReadOnlyFile::Open(NativePathOf(folder.Write("broken.gif", bytes)).c_str());
    PictureSink fromFile;
    EXPECT_FALSE(DecodeGifFrame(file, fromFile));
    PictureSink fromMemory;
    EXPECT_FALSE(DecodeGifFrame(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                fromMemory));
}

INSTANTIATE_TEST_SUITE_P(Files, BrokenGifTest, ::testing::ValuesIn(kBrokenCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeGifFrame, DecodesNothingFromAFileThatIsNotOpen) {
    files::ReadOnlyFile closed;
    PictureSink sink;
    EXPECT_FALSE(DecodeGifFrame(closed, sink));
}

}  // namespace
}  // namespace pushnote::image
