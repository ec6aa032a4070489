#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "http/http_client.h"

namespace pushnote::command {

// Passes every operation to the platform client and keeps what the command
// needs from the service's answer, which the senders only check for 200.
class AnswerRecorder final : public http::Client {
public:
    explicit AnswerRecorder(http::Client& inner) noexcept : inner_(inner) {}

    // Forgets the previous answer; call before each send.
    void Reset() noexcept;
    // The status of the last answer; nothing when no answer came.
    std::optional<std::uint32_t> status() const noexcept { return status_; }
    // The answer's Retry-After value as sent; empty when there was none.
    const std::string& retryAfter() const noexcept { return retryAfter_; }

    http::Handle OpenSession(const char* agent, http::ProxyMode proxy) noexcept override;
    http::Handle Connect(http::Handle session, const char* host,
                         std::uint16_t port) noexcept override;
    http::Handle OpenRequest(http::Handle connection, const char* verb,
                             const char* path) noexcept override;
    bool SendRequest(http::Handle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) noexcept override;
    bool QueryStatusCode(http::Handle request, std::uint32_t& status) noexcept override;
    bool QueryHeader(http::Handle request, const char* name, char* value,
                     std::uint32_t& length) noexcept override;
    bool ReadBody(http::Handle handle, void* buffer, std::uint32_t capacity,
                  std::uint32_t& count) noexcept override;
    http::Handle OpenUrl(http::Handle session, const char* url) noexcept override;
    void Close(http::Handle handle) noexcept override;

private:
    http::Client& inner_;
    std::optional<std::uint32_t> status_;
    std::string retryAfter_;
};

}  // namespace pushnote::command
