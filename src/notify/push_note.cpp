#include "notify/push_note.h"

#include <cstring>
#include <cwchar>

#include "base/access_token.h"
#include "base/host_text.h"
#include "base/memory.h"
#include "notify/notify_exchange.h"
#include "text/convert_to_utf8.h"
#include "text/wide_to_utf8.h"

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

// Puts "message=" and an ANSI message into the form text, then the form
// text in UTF-8 into the body buffer; bodyLength receives its byte count.
void WriteFormBody(const char* message, TextNoteResources& held, std::int32_t& bodyLength) {
    held.formText = ObtainOrRaise(kFormTextSize);
    std::strcpy(held.formText.data(), kFormField.data());  // a literal: terminated
    if (std::strlen(message) > kMaxTextMessageLength) Raise(-20);
    std::strcat(held.formText.data(), message);

    std::int32_t measured = 0;
    ConvertToUtf8(held.formText.data(), nullptr, measured);
    held.utf8Body = ObtainOrRaise(kUtf8BodySize);
    if (static_cast<std::size_t>(measured) > kUtf8BodySize) Raise(-20);
    std::memset(held.utf8Body.data(), 0, kUtf8BodySize);
    ConvertToUtf8(held.formText.data(), held.utf8Body.data(), bodyLength);
}

// Wide text needs no form text of its own: "message=" and the message go
// straight into the body buffer in UTF-8, within the same two limits.
void WriteFormBody(const wchar_t* message, TextNoteResources& held, std::int32_t& bodyLength) {
    if (std::wcslen(message) > kMaxTextMessageLength) Raise(-20);
    std::int32_t measured = 0;
    ConvertToUtf8(message, nullptr, measured);
    held.utf8Body = ObtainOrRaise(kUtf8BodySize);
    if (kFormField.size() + static_cast<std::size_t>(measured) > kUtf8BodySize) Raise(-20);
    std::memset(held.utf8Body.data(), 0, kUtf8BodySize);
    std::memcpy(held.utf8Body.data(), kFormField.data(), kFormField.size());
    std::int32_t messageLength = 0;
    ConvertToUtf8(message, held.utf8Body.data() + kFormField.size(), messageLength);
    bodyLength = static_cast<std::int32_t>(kFormField.size()) + messageLength;
}

ResultCode SendTextNote(HostText message, const ServiceEndpoint& service,
                        http::Client& client) noexcept {
    return CatchFailure([&]() -> ResultCode {
        TextNoteResources held(client);

        if (*AccessToken() == '\0') Raise(-10);

        held.headerText = ObtainOrRaise(kHeaderTextSize);
        std::strcpy(held.headerText.data(), kFormHeaders);
        std::strcat(held.headerText.data(), AccessToken());

        std::int32_t bodyLength = 0;
        std::visit([&](auto text) { WriteFormBody(text, held, bodyLength); }, message);

        return NotifyExchange(service, held.headerText.data(),
                              static_cast<std::uint32_t>(std::strlen(held.headerText.data())),
                              held.utf8Body.data(), static_cast<std::uint32_t>(bodyLength),
                              held.handles);
    });
}

}  // namespace

ResultCode PushNote(const char* message, const ServiceEndpoint& service,
                    http::Client& client) noexcept {
    return SendTextNote(message ? message : "", service, client);
}

ResultCode PushNoteW(const wchar_t* message, const ServiceEndpoint& service,
                     http::Client& client) noexcept {
    return SendTextNote(message ? message : L"", service, client);
}

}  // namespace pushnote
