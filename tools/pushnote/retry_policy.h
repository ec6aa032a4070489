#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string_view>

#include "base/failure.h"

namespace pushnote::command {

struct RetrySettings {
    unsigned retries = 0;              // further tries after the first
    std::chrono::seconds maxWait{60};  // the longest wait before one retry
};

// What one try of a note came to.
enum class Verdict {
    Delivered,
    TryLater,      // no connection, timeout, 429 or 5xx: may pass
    TokenRefused,  // no token, 401 or 403: no note can go until it is fixed
    Refused,       // any other answer but 200: this note will never go
    BadInput,      // the note cannot be built: message too long, image unusable
};

// Classifies a sender's result code with the answer's status, if one came.
Verdict Classify(ResultCode result, std::optional<std::uint32_t> status) noexcept;

// The wait a Retry-After value asks for: delta-seconds, or an HTTP date
// (a past date asks for none). Nothing when the value is neither.
std::optional<std::chrono::seconds> ParseRetryAfter(std::string_view value,
                                                    std::chrono::system_clock::time_point now);

// The wait before retry number attempt (0 for the first) when the service
// named none: 1 s doubled each time, plus jitter (0 to 1) times a quarter of
// that, so that clients failed together do not return together.
std::chrono::milliseconds Backoff(unsigned attempt, double jitter) noexcept;

}  // namespace pushnote::command
