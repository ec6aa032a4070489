#pragma once

#include "frame/failure.h"
#include "http/http_client.h"
#include "notify/service_endpoint.h"

namespace pushnote {

inline constexpr std::size_t kMaxTextMessageLength = 4087;

// Sends "message=" + the message in UTF-8 as a form body to the service.
ResultCode PushNote(const char* message, const ServiceEndpoint& service,
                    http::Client& client) noexcept;

}  // namespace pushnote
