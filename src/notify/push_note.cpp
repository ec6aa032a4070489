#include "notify/push_note.h"

#include <cstring>

#include "base/access_token.h"
#include "base/memory.h"
#include "notify/notify_exchange.h"
#include "text/convert_to_utf8.h"

namespace pushnote {
namespace {

constexpr std::size_t kHeaderTextSize = 4096;
constexpr std::size_t kUtf8BodySize = 8192;
constexpr const char* kFormHeaders =
    "Content-Type: application/x-www-form-urlencoded\r\nAuthorization: Bearer ";

// What one text note holds. Released on every path in a fixed order,
// whatever the order of the members: the header, form and UTF-8 buffers, then
// the request, connection and session.
struct TextNoteResources {
    explicit TextNoteResources(http::Client& client) noexcept : handles(client) {}
    TextNoteResources(const TextNoteResources&) = delete;
    TextNoteResources& operator=(const TextNoteResources&) = delete;
    ~TextNoteResources() {
        headerText.Release();
        formText.Release();
        utf8Body.Release();
        handles.CloseAll();
    }

    http::HandleSlots handles;
    Buffer headerText;
    Buffer formText;
    Buffer utf8Body;
};

}  // namespace

ResultCode PushNote(const char* message, const ServiceEndpoint& service,
                    http::Client& client) noexcept {
    if (!message) message = "";
    return CatchFailure([&]() -> ResultCode {
        TextNoteResources held(client);

        if (*AccessToken() == '\0') Raise(-10);

        held.headerText = ObtainOrRaise(kHeaderTextSize);
        std::strcpy(held.headerText.data(), kFormHeaders);
        std::strcat(held.headerText.data(), AccessToken());

        held.formText = ObtainOrRaise(kFormTextSize);
        std::strcpy(held.formText.data(), kFormField.data());  // a literal: terminated
        if (std::strlen(message) > kMaxTextMessageLength) Raise(-20);
        std::strcat(held.formText.data(), message);

        std::int32_t measured = 0;
        ConvertToUtf8(held.formText.data(), nullptr, measured);
        held.utf8Body = ObtainOrRaise(kUtf8BodySize);
        if (static_cast<std::size_t>(measured) > kUtf8BodySize) Raise(-20);
        std::memset(held.utf8Body.data(), 0, kUtf8BodySize);
        std::int32_t bodyLength = 0;
        ConvertToUtf8(held.formText.data(), held.utf8Body.data(), bodyLength);

        return NotifyExchange(service, held.headerText.data(),
                              static_cast<std::uint32_t>(std::strlen(held.headerText.data())),
                              held.utf8Body.data(), static_cast<std::uint32_t>(bodyLength),
                              held.handles);
    });
}

}  // namespace pushnote
