#pragma once

#include <cstddef>
#include <string_view>

#include "base/failure.h"
#include "http/http_client.h"
#include "http/service_endpoint.h"

namespace pushnote {

// The form text: "message=", the message and a terminator in one buffer.
inline constexpr std::size_t kFormTextSize = 4096;
inline constexpr std::string_view kFormField = "message=";
inline constexpr std::size_t kMaxTextMessageLength = kFormTextSize - kFormField.size() - 1;
static_assert(kMaxTextMessageLength == 4087);

// Sends "message=" + the message in UTF-8 as a form body to the service.
ResultCode PushNote(const char* message, const ServiceEndpoint& service,
                    http::Client& client) noexcept;

// The same for wide text, converted straight to UTF-8: the message limit
// counted in wchar_t units, and the UTF-8 body buffer of the same size.
ResultCode PushNoteW(const wchar_t* message, const ServiceEndpoint& service,
                     http::Client& client) noexcept;

}  // namespace pushnote
