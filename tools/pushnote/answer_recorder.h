#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "http/forwarding_client.h"

namespace pushnote::command {

// Passes every operation to the platform client and keeps what the command
// needs from the service's answer, which the senders only check for 200.
class AnswerRecorder final : public http::ForwardingClient {
public:
    explicit AnswerRecorder(http::Client& inner) noexcept : ForwardingClient(inner) {}

    // Forgets the previous answer; call before each send.
    void Reset() noexcept;
    // The status of the last answer; nothing when no answer came.
    std::optional<std::uint32_t> status() const noexcept { return status_; }
    // The answer's Retry-After value as sent; empty when there was none.
    const std::string& retryAfter() const noexcept { return retryAfter_; }

    // Also takes the answer's Retry-After header.
    bool QueryStatusCode(http::Handle request, std::uint32_t& status) noexcept override;

private:
    std::optional<std::uint32_t> status_;
    std::string retryAfter_;
};

}  // namespace pushnote::command
