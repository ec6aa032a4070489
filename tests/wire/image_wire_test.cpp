// Image notifications through the platform's real HTTP client and TLS to the
// service stand-in, whose multipart parser splits what arrives into fields.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/access_token.h"
#include "exports/service_config.h"
#include "image/gif_writer.h"
#include "image/jpeg_probe.h"
#include "image/multipart_expectations.h"
#include "image/scratch_folder.h"
#include "notify/push_note_with_image.h"
#include "pushnote.h"
#include "support/loaded_library.h"
#include "support/recorded_requests.h"

namespace pushnote {
namespace {

using testing::ExpectedImagePart;
using testing::ExpectedMessagePart;
using testing::RecordedField;
using testing::RecordedRequests;
using testing::ScratchFolder;

const std::string kTenBytePng("\x89PNG\r\n\x1A\n\0\0", 10);
constexpr const char* kStaleJpeg = "an older JPEG that must not be sent";

// 48 x 48: a blue band on red with a transparent corner, interlaced. The
// edges lie on 16-pixel JPEG blocks, so that each samples its colour cleanly.
std::string BandedGif() {
    testing::GifPicture picture{48, 48, {{255, 0, 0}, {0, 0, 255}, {0, 0, 0}}, {}};
    testing::GifFrame frame = testing::FullFrame(48, 48, [](int x, int y) {
        if (x < 16 && y < 16) return 2;
        return y >= 16 && y < 32 ? 1 : 0;
    });
    frame.transparentIndex = 2;
    frame.interlaced = true;
    picture.frames.push_back(frame);
    return testing::EncodeGif(picture);
}

// The fixed boundary's hex digits, and the next ones counted up from them.
constexpr const char* kFixedDigits = "e9525679e317ad2a";
constexpr const char* kNextDigits = "e9525679e317ad2b";
constexpr const char* kThirdDigits = "e9525679e317ad2c";

std::string BoundaryWith(const std::string& digits) {
    return std::string(24, '-') + digits;
}

class ImageWire : public ::testing::Test {
protected:
    void SetUp() override {
        testing::UseTestCodePage();
        ASSERT_TRUE(SetAccessToken("image-token"));
        before = records.Count();
    }
    void TearDown() override { SetAccessToken(""); }

    ResultCode Send(const std::string& message, const std::string& imagePath) {
        return PushNoteWithImage(message.c_str(), imagePath.c_str(), config::kService,
                                 http::PlatformClient());
    }
    std::size_t NewRequests() const { return records.Count() - before; }

    // The newest request carries exactly the two fields, this image and message.
    void ExpectArrived(const std::string& message, const std::string& extension,
                       const std::string& subtype, const std::string& image,
                       const std::string& boundaryDigits = kFixedDigits) {
        const std::string boundary = BoundaryWith(boundaryDigits);
        ASSERT_EQ(NewRequests(), 1u);
        const std::size_t number = records.Count();
        const testing::RecordedRequest request = records.Read(number);
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.target, "/api/notify");
        EXPECT_EQ(request.Header("Authorization"), "Bearer image-token");
        EXPECT_EQ(request.Header("Content-Type"), "multipart/form-data; boundary=" + boundary);
        EXPECT_EQ(request.Header("User-Agent"), "PushNote");
        EXPECT_EQ(request.HeaderCount("Content-Length"), 1u);
        EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
        EXPECT_EQ(request.body, ExpectedMessagePart(message, "--" + boundary) +
                                    ExpectedImagePart(extension, subtype, image, "--" + boundary));

        const std::vector<RecordedField> fields = records.Fields(number);
        ASSERT_EQ(fields.size(), 2u);
        EXPECT_EQ(fields[0].name, "message");
        EXPECT_EQ(fields[0].size, message.size());
        EXPECT_EQ(fields[1].name, "imageFile");
        EXPECT_EQ(fields[1].filename, "test." + extension);
        EXPECT_EQ(fields[1].contentType, "image/" + subtype);
        EXPECT_EQ(fields[1].size, image.size());
        EXPECT_EQ(records.Part(number, "message"), message);
        EXPECT_EQ(records.Part(number, "imageFile"), image);
    }

    RecordedRequests records;
    std::size_t before = 0;
    ScratchFolder folder;
};

TEST_F(ImageWire, APngArrivesAsTestPngWith298Bytes) {
    ASSERT_EQ(Send("Hi", folder.Write("shot.png", kTenBytePng)), 0);
    ExpectArrived("Hi", "png", "png", kTenBytePng);
    EXPECT_EQ(records.Newest().body.size(), 298u);
}

TEST_F(ImageWire, AnUpperCaseJpegArrivesAsTestJpg) {
    // Every byte value, and delimiters that are not this body's.
    std::string jpeg = "\xFF\xD8\r\n-" + testing::kDelimiterLine.substr(2) + "\r\n--" +
                       BoundaryWith("E9525679E317AD2A") + "\r\n";
    for (int value = 0; value < 256; ++value) jpeg += static_cast<char>(value);
    ASSERT_EQ(Send("caf\xC3\xA9 & more", folder.Write("PHOTO.JPEG", jpeg)), 0);
#if defined(_WIN32)
    // Code page 1252 reads the two bytes as two characters.
    ExpectArrived("caf\xC3\x83\xC2\xA9 & more", "jpg", "jpeg", jpeg);
#else
    ExpectArrived("caf\xC3\xA9 & more", "jpg", "jpeg", jpeg);
#endif
}

// A message or an image that holds the body's delimiter would end its field
// there: the body takes the next boundary that neither holds.
struct DelimiterCase {
    const char* name;
    std::string message;
    std::string image;
    const char* boundaryDigits;
};

class ImageWireDelimiter : public ImageWire, public ::testing::WithParamInterface<DelimiterCase> {};

TEST_P(ImageWireDelimiter, NeverCutsAField) {
    const DelimiterCase& c = GetParam();
    ASSERT_EQ(Send(c.message, folder.Write("held.png", c.image)), 0);
    ExpectArrived(c.message, "png", "png", c.image, c.boundaryDigits);
}

const std::string kFixedDelimiter = "--" + BoundaryWith(kFixedDigits);
const std::string kPngStart("\x89PNG\r\n\x1A\n", 8);

INSTANTIATE_TEST_SUITE_P(
    Images, ImageWireDelimiter,
    ::testing::Values(
        DelimiterCase{"in_the_message", "before\r\n" + kFixedDelimiter + "\r\nafter",
                      kPngStart + "image", kNextDigits},
        DelimiterCase{"in_the_image", "Hi", kPngStart + "\r\n" + kFixedDelimiter + "--\r\ntrailing",
                      kNextDigits},
        DelimiterCase{"next_one_in_the_image_too", "\r\n" + kFixedDelimiter,
                      kPngStart + "\r\n--" + BoundaryWith(kNextDigits) + "\r\n", kThirdDigits},
        DelimiterCase{"only_the_boundary_without_its_hyphens", BoundaryWith(kFixedDigits),
                      kPngStart + "-" + BoundaryWith(kFixedDigits), kFixedDigits}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ImageWire, AGifArrivesAsTheJpegBesideItWhichStays) {
    folder.Write("banner.jpg", kStaleJpeg);
    ASSERT_EQ(Send("converted", folder.Write("banner.gif", BandedGif())), 0);
    const std::string jpeg = folder.Read("banner.jpg");
    ASSERT_NE(jpeg, kStaleJpeg);
    ExpectArrived("converted", "jpg", "jpeg", jpeg);

    const testing::DecodedJpeg decoded = testing::DecodeJpegFile(folder.PathOf("banner.jpg"));
    ASSERT_TRUE(decoded.decoded);
    EXPECT_EQ(decoded.width, 48u);
    EXPECT_EQ(decoded.height, 48u);
    EXPECT_TRUE(testing::NearlyEqual(decoded.At(40, 8), {255, 0, 0}));
    EXPECT_TRUE(testing::NearlyEqual(decoded.At(24, 24), {0, 0, 255}));
    EXPECT_TRUE(testing::NearlyEqual(decoded.At(40, 40), {255, 0, 0}));
    EXPECT_TRUE(testing::NearlyEqual(decoded.At(8, 8), {255, 255, 255}));
}

std::vector<testing::ImageRefusalCase> RefusalCases() {
    return {
        {"corrupt_gif_beside_an_older_jpg", "Hi", "old.gif", "GIF89a, broken", "old.gif", -50},
        {"missing_file", "Hi", nullptr, "", "absent.png", -50},
        {"empty_png", "Hi", "empty.png", "", "empty.png", -30},
        {"bmp", "Hi", "shot.bmp", "BM", "shot.bmp", -60},
        {"no_dot", "Hi", "picture", "x", "picture", -60},
        {"message_of_4000_bytes_and_a_bad_path", std::string(4000, 'm'), nullptr, "", "a.bmp", -20},
    };
}

class ImageWireRefusal : public ImageWire,
                         public ::testing::WithParamInterface<testing::ImageRefusalCase> {};

TEST_P(ImageWireRefusal, SendsNoRequest) {
    const testing::ImageRefusalCase& c = GetParam();
    folder.Write("old.jpg", kStaleJpeg);
    if (c.fileName) folder.Write(c.fileName, c.content);
    EXPECT_EQ(Send(c.message, folder.PathOf(c.imageName)), c.result);
    EXPECT_EQ(NewRequests(), 0u);
    EXPECT_EQ(folder.Read("old.jpg"), kStaleJpeg);
}

INSTANTIATE_TEST_SUITE_P(Images, ImageWireRefusal, ::testing::ValuesIn(RefusalCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The same GIF through the built library, loaded the way a host loads it.
TEST_F(ImageWire, AGifThroughTheLoadedLibrary) {
    testing::LoadedLibrary library(testing::LibraryUnderTest());
    ASSERT_TRUE(library.Loaded());
    auto setAccessToken = library.Find<testing::SetAccessTokenFunction>("SetAccessToken");
    auto pushNoteWithImage = library.Find<testing::PushNoteWithImageFunction>("PushNoteWithImage");
    ASSERT_TRUE(setAccessToken && pushNoteWithImage);

    ASSERT_EQ(setAccessToken("image-token"), 1);
    const std::string gif = folder.Write("host.gif", BandedGif());
    ASSERT_EQ(pushNoteWithImage("from a host", gif.c_str()), PUSHNOTE_OK);
    ExpectArrived("from a host", "jpg", "jpeg", folder.Read("host.jpg"));
}

}  // namespace
}  // namespace pushnote
