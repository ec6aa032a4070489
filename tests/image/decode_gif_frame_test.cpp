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
    {"inside", 3, 1, 2, 2, false},
    {"inside_interlaced", 3, 1, 2, 2, true},
    {"past_the_corner", 4, 2, 5, 9, false},
    {"past_the_corner_interlaced", 4, 2, 5, 9, true},
    {"left_of_nothing", 6, 0, 3, 4, false},
    {"below_everything_interlaced", 0, 4, 6, 10, true},
    // Frames far larger than the canvas: clipped, their hidden pixels passed over.
    {"far_past_the_right_edge", 3, 1, 60000, 2, false},
    {"far_past_the_right_edge_interlaced", 3, 1, 60000, 2, true},
    {"far_below_the_bottom_interlaced", 1, 2, 3, 30000, true},
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

// The GIF of a frame with rows x width pixels of data, on a 6 x 4 canvas,
// whose descriptor claims claimedHeight rows: the canvas shows only the rows
// that are there.
std::string ClaimingFrameHeight(std::uint16_t width, std::uint16_t rows,
                                std::uint16_t claimedHeight) {
    GifPicture picture{6, 4, {kRed, kBlue}, {}};
    picture.frames.push_back(FullFrame(width, rows, [](int x, int) { return x % 2; }));
    std::string bytes = EncodeGif(picture);
    // The descriptor follows the writer's 8-byte graphic control extension.
    const std::size_t descriptor = bytes.find("\x21\xF9\x04") + 8;
    bytes[descriptor + 7] = static_cast<char>(claimedHeight & 0xFF);
    bytes[descriptor + 8] = static_cast<char>(claimedHeight >> 8);
    return bytes;
}

#if defined(_WIN32)
// Wine's WIC decodes every row of the file when its decoder opens: a frame
// claiming more rows than its data holds is refused there, whatever we allow.
constexpr bool kDecoderReadsWholeFrames = true;
#else
constexpr bool kDecoderReadsWholeFrames = false;
#endif

TEST_F(DecodeGifFrameTest, TakesAFrameOfAsManyPixelsAsACanvasMayHave) {
    if (kDecoderReadsWholeFrames) GTEST_SKIP() << "the decoder reads whole frames";
    const std::string bytes = ClaimingFrameHeight(20000, 4, 5000);
    PictureSink image;
    ASSERT_TRUE(
        DecodeGifFrame(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), image));
    EXPECT_TRUE(PixelsAre(image, [](int x, int) { return x % 2 ? kBlue : kRed; }));
}

// An interlaced frame of 8 rows on a 4-row canvas whose data ends right
// after the last row the canvas shows (the 6th in interlaced order: rows 0,
// 4, 2, 6, 1, 3): a decoder must stop there, not read on for rows 5 and 7.
TEST_F(DecodeGifFrameTest, StopsAnInterlacedFrameAfterItsLastVisibleRow) {
    if (kDecoderReadsWholeFrames) GTEST_SKIP() << "the decoder reads whole frames";
    GifPicture picture{6, 4, {kBlack, kBlue, kRed, kGreen}, {}};
    picture.frames.push_back(FullFrame(6, 6, [](int, int dataRow) { return dataRow % 4; }));
    std::string bytes = EncodeGif(picture);
    const std::size_t descriptor = bytes.find("\x21\xF9\x04") + 8;
    bytes[descriptor + 7] = 8;
    bytes[descriptor + 9] = static_cast<char>(bytes[descriptor + 9] | 0x40);
    PictureSink image;
    ASSERT_TRUE(
        DecodeGifFrame(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), image));
    // Data rows 0, 4, 2 and 5 land on canvas rows 0 to 3.
    const Rgb rows[] = {kBlack, kBlack, kRed, kBlue};
    EXPECT_TRUE(PixelsAre(image, [&](int, int y) { return rows[y]; }));
}

// The canvas limit on its boundary: exactly 100 megapixels are allowed.
TEST(CanvasSize, IsAcceptedUpToTheLimitAndNotBeyond) {
    struct Case {
        std::uint32_t width, height;
        bool acceptable;
    };
    for (const Case c :
         {Case{20000, 5000, true}, Case{20000, 5001, false}, Case{5000, 20000, true},
          Case{10001, 10000, false}, Case{65500, 1526, true}, Case{65500, 1527, false},
          Case{65501, 1, false}, Case{1, 65501, false}, Case{0, 1, false}, Case{1, 0, false}}) {
        EXPECT_EQ(IsAcceptableSize(c.width, c.height), c.acceptable)
            << c.width << " x " << c.height;
    }
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
    // More pixels than any canvas may have: refused before decoding.
    // (the rows the canvas shows are all there).
    {"frame_of_20000_by_5001", ClaimingFrameHeight(20000, 4, 5001)},
    {"frame_of_65535_by_65535", ClaimingFrameHeight(65535, 4, 65535)},
    {"canvas_of_20000_by_5001",
     EncodeGif({20000, 5001, {kRed}, {FullFrame(1, 1, [](int, int) { return 0; })}})},
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
