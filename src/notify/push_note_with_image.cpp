#include "notify/push_note_with_image.h"

#include <charconv>
#include <cstdint>
#include <cstring>

#include "frame/access_token.h"
#include "frame/memory.h"
#include "image/working_path.h"
#include "notify/image_part.h"
#include "notify/message_part.h"
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
void WriteHeaders(char* text, std::uint64_t bodyLength) {
    std::strcpy(text, kAuthorization);
    std::strcat(text, AccessToken());
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, kContentLength);
    char* digits = text + std::strlen(text);
    *std::to_chars(digits, digits + 24, bodyLength).ptr = '\0';
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, kContentType);
    std::strcat(text, multipart::kBoundary);
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, multipart::kLineBreak);
}

}  // namespace

ResultCode PushNoteWithImage(const char* message, const char* imagePath,
                             const ServiceEndpoint& service, http::Client& client) noexcept {
    if (!message) message = "";
    if (!imagePath) imagePath = "";
    return CatchFailure([&]() -> ResultCode {
        // Declared so that they go in this order: buffers (header, body,
        // message part, image part with its file), then the handles (request,
        // connection, session).
        http::HandleSlots handles(client);
        ImagePart imagePart;
        Buffer messagePart;
        Buffer body;
        Buffer headerText;
        WorkingPath workingPath;

        if (*AccessToken() == '\0') Raise(-10);

        ResultCode error = 0;
        std::size_t messageLength = 0;
        messagePart = BuildMessagePart(message, multipart::kDelimiter, messageLength, error);
        if (error) Raise(error);
        imagePart = BuildImagePart(imagePath, multipart::kDelimiter, error, workingPath);
        if (error) Raise(error);

        // One buffer for the whole body, the image read straight into it.
        const std::uint64_t bodyLength = messageLength + imagePart.length();
        if (bodyLength > kMaxBodyLength) Raise(-30);
        body = ObtainOrRaise(static_cast<std::size_t>(bodyLength));
        std::memcpy(body.data(), messagePart.data(), messageLength);
        if (const ResultCode written = imagePart.WriteTo(body.data() + messageLength)) {
            Raise(written);
        }

        headerText = ObtainOrRaise(kHeaderSize);
        WriteHeaders(headerText.data(), bodyLength);

        return NotifyExchange(service, headerText.data(),
                              static_cast<std::uint32_t>(std::strlen(headerText.data())),
                              body.data(), static_cast<std::uint32_t>(bodyLength), handles);
    });
}

}  // namespace pushnote
