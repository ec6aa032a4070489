// Our LZW decoder against giflib's on pictures giflib's own encoder wrote:
// every code width from 2 to 12 bits, strings longer than a row, a full
// string table and the clear codes that follow it.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/image_codec.h"

namespace pushnote::image {
namespace {

struct EncoderCase {
    const char* name;
    int colours;
    int width;
    int height;
    int noiseBits;  // 0: long runs that make long strings
};

const EncoderCase kEncoderCases[] = {
    {"two_colours", 2, 37, 11, 1},
    {"sixteen_colours_smooth", 16, 300, 40, 0},
    {"full_table_256_colours", 256, 211, 157, 8},
    {"long_runs_256_colours", 256, 1000, 30, 0},
    {"one_column", 4, 1, 90, 2},
};

std::string EncodeWithGiflib(const EncoderCase& c, std::vector<GifPixelType>& indexes) {
    std::string bytes;
    int error = 0;
    GifFileType* gif = EGifOpen(
        &bytes,
        [](GifFileType* file, const GifByteType* data, int count) {
            static_cast<std::string*>(file->UserData)
                ->append(reinterpret_cast<const char*>(data), count);
            return count;
        },
        &error);
    std::vector<GifColorType> colours(c.colours);
    for (int i = 0; i < c.colours; ++i) {
        colours[i] = GifColorType{static_cast<GifByteType>(i), static_cast<GifByteType>(i * 3),
                                  static_cast<GifByteType>(255 - i)};
    }
    ColorMapObject* map = GifMakeMapObject(c.colours, colours.data());
    EXPECT_EQ(EGifPutScreenDesc(gif, c.width, c.height, 8, 0, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, 0, 0, c.width, c.height, false, nullptr), GIF_OK);
    unsigned state = 7;
    indexes.clear();
    for (int y = 0; y < c.height; ++y) {
        std::vector<GifPixelType> row(c.width);
        for (int x = 0; x < c.width; ++x) {
            state = state * 1103515245u + 12345u;
            const int noise = static_cast<int>((state >> 16) & ((1u << c.noiseBits) - 1));
            row[x] = static_cast<GifPixelType>((x / 9 + y / 5 + noise) % c.colours);
        }
        EXPECT_EQ(EGifPutLine(gif, row.data(), c.width), GIF_OK);
        indexes.insert(indexes.end(), row.begin(), row.end());
    }
    GifFreeMapObject(map);
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    return bytes;
}

// The colour of each index in the picture above, as rows of BGR.
class BgrRows final : public ScanlineSink {
public:
    bool Start(std::uint32_t width, std::uint32_t) noexcept override {
        width_ = width;
        return true;
    }
    bool Write(const unsigned char* rows, std::uint32_t count) noexcept override {
        bgr.append(reinterpret_cast<const char*>(rows), std::size_t{count} * width_ * 3);
        return true;
    }
    std::string bgr;

private:
    std::uint32_t width_ = 0;
};

class GiflibEncodedTest : public ::testing::TestWithParam<EncoderCase> {};

TEST_P(GiflibEncodedTest, DecodesTheSameIndexesAsGiflib) {
    std::vector<GifPixelType> indexes;
    const std::string bytes = EncodeWithGiflib(GetParam(), indexes);
    BgrRows decoded;
    ASSERT_TRUE(DecodeGifFrame(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                               decoded));
    std::string expected;
    for (GifPixelType index : indexes) {
        expected += static_cast<char>(255 - index);
        expected += static_cast<char>(index * 3);
        expected += static_cast<char>(index);
    }
    EXPECT_TRUE(decoded.bgr == expected);
}

INSTANTIATE_TEST_SUITE_P(Pictures, GiflibEncodedTest, ::testing::ValuesIn(kEncoderCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote::image
