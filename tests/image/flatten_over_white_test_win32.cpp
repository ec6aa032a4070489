#include "image/flatten_over_white_win32.h"

#include <gtest/gtest.h>

#include <vector>

namespace pushnote::image {
namespace {

using Bytes = std::vector<unsigned char>;

struct FlattenCase {
    const char* name;
    Bytes bgra;
    Bytes bgr;
};

const FlattenCase kCases[] = {
    {"opaque_keeps_colour", {10, 20, 30, 255}, {10, 20, 30}},
    {"transparent_is_white", {10, 20, 30, 0}, {255, 255, 255}},
    {"half_alpha_blends_rounded", {0, 100, 255, 128}, {127, 177, 255}},
    {"several_pixels_in_place",
     {1, 2, 3, 255, 0, 0, 0, 0, 200, 100, 0, 255},
     {1, 2, 3, 255, 255, 255, 200, 100, 0}},
};

class FlattenOverWhiteTest : public ::testing::TestWithParam<FlattenCase> {};

TEST_P(FlattenOverWhiteTest, CompositesOverWhiteIntoThreeBytesPerPixel) {
    const FlattenCase& c = GetParam();
    Bytes pixels = c.bgra;
    FlattenBgraOverWhite(pixels.data(), pixels.size() / 4);
    EXPECT_EQ(Bytes(pixels.begin(), pixels.begin() + static_cast<long>(c.bgr.size())), c.bgr);
}

INSTANTIATE_TEST_SUITE_P(Pixels, FlattenOverWhiteTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote::image
