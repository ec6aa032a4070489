#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <httplib.h>

namespace pushnote::stand_in {

// Token directives for clients that retry:
//   fail_first=K     only the token's first K requests get the directive status;
//                    later ones get 200
//   retry_after=S    the failing answers carry "Retry-After: S"
struct RetryDirectives {
    std::optional<std::uint64_t> failFirst;
    std::optional<std::uint64_t> retryAfterSeconds;
};

// True when key is one of the directives above with a valid value.
bool ParseRetryDirective(std::string_view key, std::optional<std::uint64_t> value,
                         RetryDirectives& directives);

// The status this request gets: failingStatus, or 200 once the requests
// carrying the same Authorization header have used up fail_first. Adds
// Retry-After to a failing answer when asked.
int StatusForAttempt(const RetryDirectives& directives, int failingStatus,
                     const httplib::Request& request, httplib::Response& response);

}  // namespace pushnote::stand_in
