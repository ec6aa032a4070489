#include "notify/push_note_with_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/access_token.h"
#include "base/memory.h"
#include "image/gif_writer.h"
#include "image/multipart_expectations.h"
#include "image/scratch_folder.h"
#include "image/special_files.h"
#include "support/memory_probe.h"
#include "support/recording_client.h"

namespace pushnote {
namespace {

using testing::ExpectedImagePart;
using testing::ExpectedMessagePart;
using testing::MemoryProbe;
using testing::RecordingClient;
using testing::ScratchFolder;

const ServiceEndpoint kService{"notify.example", 443};
const std::string kTenBytePng("\x89PNG\r\n\x1A\n\0\0", 10);
constexpr const char* kStaleJpeg = "an older JPEG that must not be sent";

std::string ExpectedHeaders(std::size_t contentLength) {
    return "Authorization: Bearer token-123\r\nContent-Length: " + std::to_string(contentLength) +
           "\r\nContent-Type: multipart/form-data; boundary=------------------------"
           "e9525679e317ad2a\r\n\r\n";
}

std::string SmallGif() {
    testing::GifPicture picture{20, 10, {{200, 40, 40}}, {}};
    picture.frames.push_back(testing::FullFrame(20, 10, [](int, int) { return 0; }));
    return testing::EncodeGif(picture);
}

class PushNoteWithImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::UseTestCodePage();
        ASSERT_TRUE(SetAccessToken("token-123"));
    }
    void TearDown() override { SetAccessToken(""); }

    ResultCode Send(const std::string& message, const std::string& imagePath) {
        return PushNoteWithImage(message.c_str(), imagePath.c_str(), kService, client);
    }

    RecordingClient client;
    ScratchFolder folder;
};

TEST_F(PushNoteWithImageTest, PostsHiWithATenBytePngAs298Bytes) {
    EXPECT_EQ(Send("Hi", folder.Write("a.png", kTenBytePng)), 0);
    EXPECT_EQ(client.sentHeaders, ExpectedHeaders(298));
    EXPECT_EQ(client.sentBody,
              ExpectedMessagePart("Hi") + ExpectedImagePart("png", "png", kTenBytePng));
    EXPECT_EQ(client.sentBody.size(), 298u);
    EXPECT_EQ(client.agent, "PushNote");
    EXPECT_EQ(client.host, "notify.example");
    EXPECT_EQ(client.port, 443);
    EXPECT_EQ(client.CallsStartingWith("OpenRequest"),
              std::vector<std::string>{"OpenRequest POST /api/notify"});
    EXPECT_EQ(client.CallsStartingWith("Close"),
              (std::vector<std::string>{"Close request", "Close connection", "Close session"}));
}

TEST_F(PushNoteWithImageTest, PostsAnUpperCaseJpegAsTestJpg) {
    const std::string jpeg = "\xFF\xD8 some JPEG bytes \xFF\xD9";
    EXPECT_EQ(Send("", folder.Write("Photo.JPEG", jpeg)), 0);
    const std::string body = ExpectedMessagePart("") + ExpectedImagePart("jpg", "jpeg", jpeg);
    EXPECT_EQ(client.sentBody, body);
    EXPECT_EQ(client.sentHeaders, ExpectedHeaders(body.size()));
}

TEST_F(PushNoteWithImageTest, PostsAGifAsItsJpegWhichStaysOnDisk) {
    folder.Write("anim.jpg", kStaleJpeg);
    EXPECT_EQ(Send("look", folder.Write("anim.gif", SmallGif())), 0);
    const std::string jpeg = folder.Read("anim.jpg");
    EXPECT_NE(jpeg, kStaleJpeg);
    EXPECT_EQ(client.sentBody,
              ExpectedMessagePart("look") + ExpectedImagePart("jpg", "jpeg", jpeg));
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"anim.gif", "anim.jpg"}));
}

TEST_F(PushNoteWithImageTest, AWideningMessagePartIsSizedFromItsUtf8Form) {
    std::string message;
    std::string utf8;
    for (int i = 0; i < 3999; ++i) {
        message += testing::kWideningByte;
        utf8 += testing::kWideningByteUtf8;
    }
    EXPECT_EQ(Send(message, folder.Write("a.png", kTenBytePng)), 0);
    EXPECT_EQ(client.sentBody,
              ExpectedMessagePart(utf8) + ExpectedImagePart("png", "png", kTenBytePng));
}

std::vector<testing::ImageRefusalCase> FailureCases() {
    return {
        {"message_4000_bytes", std::string(4000, 'm'), "a.png", kTenBytePng, "a.png", -20},
        // The message is checked before the image.
        {"message_4000_bytes_and_a_bad_path", std::string(4000, 'm'), nullptr, "", "a.bmp", -20},
        {"bmp", "Hi", "a.bmp", "BM", "a.bmp", -60},
        {"no_dot", "Hi", "image", "x", "image", -60},
        {"missing_file", "Hi", nullptr, "", "absent.png", -50},
        {"empty_png", "Hi", "empty.png", "", "empty.png", -30},
        {"corrupt_gif", "Hi", "bad.gif", "GIF89a but broken", "bad.gif", -50},
        {"path_beyond_the_working_path", "Hi", nullptr, "", std::string(280, 'p') + ".png", -50},
    };
}

class PushNoteWithImageFailure : public PushNoteWithImageTest,
                                 public ::testing::WithParamInterface<testing::ImageRefusalCase> {};

TEST_P(PushNoteWithImageFailure, ReturnsItsCodeWithNothingSent) {
    const testing::ImageRefusalCase& c = GetParam();
    if (c.fileName) folder.Write(c.fileName, c.content);
    MemoryProbe probe;
    EXPECT_EQ(Send(c.message, folder.PathOf(c.imageName)), c.result);
    EXPECT_TRUE(client.calls.empty());
    EXPECT_EQ(probe.Outstanding(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Failures, PushNoteWithImageFailure, ::testing::ValuesIn(FailureCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PushNoteWithImageTest, APipeNamedLikeAJpegIsMinus50PromptlyWithNothingSent) {
    testing::WaitingPipe pipe(folder, "pipe.jpg");
    const auto result =
        pipe.ResultWithin(std::chrono::seconds(5), [&] { return Send("Hi", pipe.path()); });
    ASSERT_TRUE(result.has_value()) << "still waiting for a writer after 5 s";
    EXPECT_EQ(*result, -50);
    EXPECT_TRUE(client.calls.empty());
}

TEST_F(PushNoteWithImageTest, NoTokenIsMinus10BeforeAnythingElse) {
    SetAccessToken("");
    MemoryProbe probe;
    EXPECT_EQ(Send(std::string(4000, 'm'), "a.bmp"), -10);
    EXPECT_TRUE(client.calls.empty());
    EXPECT_EQ(probe.Requests(), 0);
}

TEST_F(PushNoteWithImageTest, NullArgumentsAreEmptyTexts) {
    EXPECT_EQ(PushNoteWithImage(nullptr, nullptr, kService, client), -60);
    EXPECT_TRUE(client.calls.empty());
}

TEST_F(PushNoteWithImageTest, ACorruptGifBesideAnOlderJpegSendsNothingAndKeepsTheJpeg) {
    folder.Write("shot.jpg", kStaleJpeg);
    EXPECT_EQ(Send("Hi", folder.Write("shot.gif", "GIF89a but broken")), -50);
    EXPECT_TRUE(client.calls.empty());
    EXPECT_EQ(folder.Read("shot.jpg"), kStaleJpeg);
    EXPECT_EQ(folder.Names(), (std::set<std::string>{"shot.gif", "shot.jpg"}));
}

TEST_F(PushNoteWithImageTest, ExchangeFailuresCloseWhatWasOpened) {
    const std::string png = folder.Write("a.png", kTenBytePng);
    client.status = 500;
    EXPECT_EQ(Send("Hi", png), -6);
    EXPECT_EQ(client.OpenHandles(), 0);
    RecordingClient refusing;
    refusing.failAt = RecordingClient::Step::Connect;
    EXPECT_EQ(PushNoteWithImage("Hi", png.c_str(), kService, refusing), -2);
    EXPECT_EQ(refusing.CallsStartingWith("Close"), std::vector<std::string>{"Close session"});
}

TEST_F(PushNoteWithImageTest, EveryMemoryFailureIsMinus30WithNothingSentOrHeld) {
    const std::string gif = folder.Write("anim.gif", SmallGif());
    ResultCode result = -30;
    for (int failAt = 1; failAt < 60 && result != 0; ++failAt) {
        SCOPED_TRACE("memory request " + std::to_string(failAt) + " fails");
        RecordingClient fresh;
        MemoryProbe probe(failAt);
        result = PushNoteWithImage("Hi", gif.c_str(), kService, fresh);
        // Memory short inside the conversion fails the conversion: -50.
        EXPECT_TRUE(result == 0 || result == -30 || result == -50) << result;
        if (result != 0) {
            EXPECT_TRUE(fresh.calls.empty());
        }
        EXPECT_EQ(probe.Outstanding(), 0u);
    }
    EXPECT_EQ(result, 0);
}

TEST_F(PushNoteWithImageTest, HoldsTheImageOnceAndReleasesHeaderBodyAndPartsInOrder) {
    const std::string image(1 << 20, '\x5A');
    const std::string path = folder.Write("big.png", image);
    MemoryProbe probe;
    ASSERT_EQ(Send("Hi", path), 0);
    const std::size_t bodyLength = client.sentBody.size();
    const std::vector<std::size_t>& obtained = probe.ObtainedSizes();
    EXPECT_EQ(std::count_if(obtained.begin(), obtained.end(),
                            [&](std::size_t size) { return size >= image.size(); }),
              1);
    EXPECT_NE(std::find(obtained.begin(), obtained.end(), bodyLength), obtained.end());
    // The last four releases: header text, body, message part, image part head.
    const std::vector<std::size_t>& released = probe.ReleasedSizes();
    ASSERT_GE(released.size(), 4u);
    EXPECT_EQ(released[released.size() - 4], 4096u);
    EXPECT_EQ(released[released.size() - 3], bodyLength);
    EXPECT_EQ(released[released.size() - 2], 99u);  // 98 bytes and the terminator
}

#if !defined(_WIN32)
// Shrinks the image file when the body is requested, between measuring and
// reading it. Windows opens the image without sharing, so only POSIX can.
struct ShrinkWhenBodyIsObtained {
    static inline std::string path;
    static inline std::size_t bodyAtLeast = 0;
    static void* Obtain(std::size_t size) {
        if (size >= bodyAtLeast) std::filesystem::resize_file(path, 10);
        return std::malloc(size);
    }
    static void Release(void* block) { std::free(block); }
};

TEST_F(PushNoteWithImageTest, AnImageThatShrinksBeforeItIsReadIsMinus50WithNothingSent) {
    ShrinkWhenBodyIsObtained::path = folder.Write("a.png", std::string(10000, 'x'));
    // Larger than any text buffer: only the body is.
    ShrinkWhenBodyIsObtained::bodyAtLeast = 10000;
    SetMemoryHooks({&ShrinkWhenBodyIsObtained::Obtain, &ShrinkWhenBodyIsObtained::Release});
    const ResultCode result = Send("Hi", ShrinkWhenBodyIsObtained::path);
    SetMemoryHooks({});
    EXPECT_EQ(result, -50);
    EXPECT_TRUE(client.calls.empty());
}
#endif

}  // namespace
}  // namespace pushnote
