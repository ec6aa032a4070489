#pragma once

#include <cstdint>

#include "base/failure.h"
#include "http/http_client.h"
#include "http/service_endpoint.h"

namespace pushnote {

inline constexpr const char* kNotifyPath = "/api/notify";
inline constexpr const char* kSenderAgent = "PushNote";

// POSTs the header text and body to the notify path, requires status 200 and
// drains the response. Stores each handle in its slot as it opens; the caller
// closes them. Returns 0 or -1 to -7.
ResultCode NotifyExchange(const ServiceEndpoint& service, const char* headers,
                          std::uint32_t headersLength, const void* body, std::uint32_t bodyLength,
                          http::HandleSlots& handles) noexcept;

}  // namespace pushnote
