#include "notify/push_note.h"

#include <cstring>

#include "frame/access_token.h"
#include "frame/memory.h"
#include "notify/notify_exchange.h"
#include "text/convert_to_utf8.h"

namespace pushnote {
namespace {

constexpr std::size_t kTextSize = 4096;
constexpr std::size_t kUtf8BodySize = 8192;
constexpr const char* kFormHeaders =
    "Content-Type: application/x-www-form-urlencoded\r\nAuthorization: Bearer ";
constexpr const char* kFormField = "message=";

}  // namespace

ResultCode PushNote(const char* message, const ServiceEndpoint& service,
                    http::Client& client) noexcept {
    if (!message) message = "";
    return CatchFailure([&]() -> ResultCode {
        // Declared so that they go in this order: buffers (header, form, body),
        // then the handles (request, connection, session).
        http::HandleSlots handles(client);
        Buffer utf8Body;
        Buffer formText;
        Buffer headerText;

        if (*AccessToken() == '\0') Raise(-10);

        headerText = ObtainOrRaise(kTextSize);
        std::strcpy(headerText.data(), kFormHeaders);
        std::strcat(headerText.data(), AccessToken());

        formText = ObtainOrRaise(kTextSize);
        std::strcpy(formText.data(), kFormField);
        if (std::strlen(message) > kMaxTextMessageLength) Raise(-20);
        std::strcat(formText.data(), message);

        std::int32_t measured = 0;
        ConvertToUtf8(formText.data(), nullptr, measured);
        utf8Body = ObtainOrRaise(kUtf8BodySize);
        if (static_cast<std::size_t>(measured) > kUtf8BodySize) Raise(-20);
        std::memset(utf8Body.data(), 0, kUtf8BodySize);
        std::int32_t bodyLength = 0;
        ConvertToUtf8(formText.data(), utf8Body.data(), bodyLength);

        return NotifyExchange(service, headerText.data(),
                              static_cast<std::uint32_t>(std::strlen(headerText.data())),
                              utf8Body.data(), static_cast<std::uint32_t>(bodyLength), handles);
    });
}

}  // namespace pushnote
