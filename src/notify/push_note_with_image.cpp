#include "notify/push_note_with_image.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "base/access_token.h"
#include "base/host_text.h"
#include "base/memory.h"
#include "image/working_path.h"
#include "notify/image_part.h"
#include "notify/message_part.h"
#include "notify/multipart_boundary.h"
#include "notify/multipart_format.h"
#include "notify/notify_exchange.h"

namespace pushnote {
namespace {

constexpr std::size_t kHeaderSize = 4096;
constexpr const char* kAuthorization = "Authorization: Bearer ";
constexpr const char* kContentLength = "Content-Length: ";
constexpr const char* kContentType = "Content-Type: multipart/form-data; boundary=";
// The HTTP client takes the body length as 32 bits (no more than size_t holds).
constexpr std::uint64_t kMaxBodyLength = UINT32_MAX;

// Token, exact body length and boundary, ending with an empty line. The
// token is at most 256 bytes, so the text fits its buffer with room to spare.
void WriteHeaders(char* text, std::uint64_t bodyLength, const char* boundary) {
    std::strcpy(text, kAuthorization);
    std::strcat(text, AccessToken());
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, kContentLength);
    char* digits = text + std::strlen(text);
    *std::to_chars(digits, digits + 24, bodyLength).ptr = '\0';
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, kContentType);
    std::strcat(text, boundary);
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, multipart::kLineBreak);
}

// What one image note holds. Released on every path in a fixed order,
// whatever the order of the members: the header, body and message part
// buffers, the image part with its file, then the request, connection and
// session.
struct ImageNoteResources {
    explicit ImageNoteResources(http::Client& client) noexcept : handles(client) {}
    ImageNoteResources(const ImageNoteResources&) = delete;
    ImageNoteResources& operator=(const ImageNoteResources&) = delete;
    ~ImageNoteResources() {
        headerText.Release();
        body.Release();
        messagePart.Release();
        imagePart = ImagePart();
        handles.CloseAll();
    }

    http::HandleSlots handles;
    Buffer headerText;
    Buffer body;
    Buffer messagePart;
    ImagePart imagePart;
};

ResultCode SendImageNote(HostText message, HostText imagePath, const ServiceEndpoint& service,
                         http::Client& client) noexcept {
    return CatchFailure([&]() -> ResultCode {
        ImageNoteResources held(client);
        WorkingPath workingPath;

        if (*AccessToken() == '\0') Raise(-10);

        ResultCode error = 0;
        std::size_t messageLength = 0;
        held.messagePart = std::visit(
            [&](auto text) {
                return BuildMessagePart(text, multipart::kDelimiter, messageLength, error);
            },
            message);
        if (error) Raise(error);
        held.imagePart = BuildImagePart(imagePath, multipart::kDelimiter, error, workingPath);
        if (error) Raise(error);

        // One buffer for the whole body, the image read straight into it.
        const std::uint64_t bodyLength = messageLength + held.imagePart.length();
        if (bodyLength > kMaxBodyLength) Raise(-30);
        held.body = ObtainOrRaise(static_cast<std::size_t>(bodyLength));
        std::memcpy(held.body.data(), held.messagePart.data(), messageLength);
        if (const ResultCode written = held.imagePart.WriteTo(held.body.data() + messageLength)) {
            Raise(written);
        }

        // Written with the fixed delimiter, which a message or an image may
        // hold: then another boundary takes its place.
        const std::size_t closingDelimiter = static_cast<std::size_t>(bodyLength) -
                                             std::strlen(multipart::kClosing) -
                                             std::strlen(multipart::kDelimiter);
        multipart::Boundary boundary;
        if (const ResultCode chosen =
                multipart::ChooseBoundary(held.body.data(), static_cast<std::size_t>(bodyLength),
                                          {0, messageLength, closingDelimiter}, boundary)) {
            Raise(chosen);
        }

        held.headerText = ObtainOrRaise(kHeaderSize);
        WriteHeaders(held.headerText.data(), bodyLength, boundary.text);

        return NotifyExchange(service, held.headerText.data(),
                              static_cast<std::uint32_t>(std::strlen(held.headerText.data())),
                              held.body.data(), static_cast<std::uint32_t>(bodyLength),
                              held.handles);
    });
}

}  // namespace

ResultCode PushNoteWithImage(const char* message, const char* imagePath,
                             const ServiceEndpoint& service, http::Client& client) noexcept {
    return SendImageNote(message ? message : "", imagePath ? imagePath : "", service, client);
}

ResultCode PushNoteWithImageW(const wchar_t* message, const wchar_t* imagePath,
                              const ServiceEndpoint& service, http::Client& client) noexcept {
    return SendImageNote(message ? message : L"", imagePath ? imagePath : L"", service, client);
}

}  // namespace pushnote
