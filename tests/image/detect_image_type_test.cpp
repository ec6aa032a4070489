#include "image/detect_image_type.h"

#include <gtest/gtest.h>

#include <string>

namespace pushnote {
namespace {

struct TypeCase {
    const char* name;
    const char* path;
    const char* extension;  // null: refused
    const char* subtype;
    bool needsConversion;
};

const TypeCase kCases[] = {
    {"upper_jpg", "a.JPG", "jpg", "jpeg", false},
    {"lower_jpeg", "a.jpeg", "jpg", "jpeg", false},
    {"mixed_jpeg", "a.Jpeg", "jpg", "jpeg", false},
    {"png", "a.png", "png", "png", false},
    {"mixed_png", "C:\\pics\\shot.pNg", "png", "png", false},
    {"gif", "a.gif", "jpg", "jpeg", true},
    {"upper_gif", "/tmp/anim.GIF", "jpg", "jpeg", true},
    {"last_dot_decides", "archive.png.gif", "jpg", "jpeg", true},
    {"dotted_folder_jpg", "dir.v2/photo.jpg", "jpg", "jpeg", false},
    {"bmp", "a.bmp", nullptr, "", false},
    {"tif", "a.tif", nullptr, "", false},
    {"tiff_upper", "a.TIFF", nullptr, "", false},
    {"empty_extension", "a.", nullptr, "", false},
    {"no_dot", "photo", nullptr, "", false},
    {"empty_path", "", nullptr, "", false},
    {"dotted_folder_backslash", "dir.v2\\photo", nullptr, "", false},
    {"dotted_folder_slash", "dir.v2/photo", nullptr, "", false},
    // Ten characters are within the limit but name no image type; eleven are
    // refused before any comparison, even when they end like one.
    {"ten_characters", "a.abcdefghij", nullptr, "", false},
    {"eleven_characters", "a.abcdefgjpeg", nullptr, "", false},
    {"jpeg_with_trailing_space", "a.jpeg ", nullptr, "", false},
    {"gif_prefix_only", "a.gi", nullptr, "", false},
    {"high_bytes_are_no_letters", "a.j\xD0g", nullptr, "", false},
};

class DetectImageTypeTest : public ::testing::TestWithParam<TypeCase> {};

TEST_P(DetectImageTypeTest, ClassifiesByTheTextAfterTheLastDot) {
    const TypeCase& c = GetParam();
    const char* subtype = "stale";
    bool needsConversion = true;
    const char* extension = DetectImageType(c.path, subtype, needsConversion);
    if (c.extension) {
        ASSERT_NE(extension, nullptr);
        EXPECT_STREQ(extension, c.extension);
    } else {
        EXPECT_EQ(extension, nullptr);
    }
    EXPECT_STREQ(subtype, c.subtype);
    EXPECT_EQ(needsConversion, c.needsConversion);
}

INSTANTIATE_TEST_SUITE_P(Paths, DetectImageTypeTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DetectImageType, LeavesThePathUnchanged) {
    char path[] = "Photo.Jpeg";
    const char* subtype = nullptr;
    bool needsConversion = false;
    ASSERT_NE(DetectImageType(path, subtype, needsConversion), nullptr);
    EXPECT_STREQ(path, "Photo.Jpeg");
}

}  // namespace
}  // namespace pushnote
