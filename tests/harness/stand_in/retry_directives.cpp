#include "retry_directives.h"

#include <map>
#include <mutex>

namespace pushnote::stand_in {
namespace {

// Requests seen so far per Authorization header; handlers run on many threads.
std::uint64_t CountRequest(const std::string& authorization) {
    static std::mutex mutex;
    static std::map<std::string, std::uint64_t> seen;
    const std::lock_guard lock(mutex);
    return ++seen[authorization];
}

}  // namespace

bool ParseRetryDirective(std::string_view key, std::optional<std::uint64_t> value,
                         RetryDirectives& directives) {
    if (!value) return false;
    if (key == "fail_first") {
        directives.failFirst = *value;
    } else if (key == "retry_after") {
        directives.retryAfterSeconds = *value;
    } else {
        return false;
    }
    return true;
}

int StatusForAttempt(const RetryDirectives& directives, int failingStatus,
                     const httplib::Request& request, httplib::Response& response) {
    if (directives.failFirst &&
        CountRequest(request.get_header_value("Authorization")) > *directives.failFirst) {
        return 200;
    }
    if (directives.retryAfterSeconds) {
        response.set_header("Retry-After", std::to_string(*directives.retryAfterSeconds));
    }
    return failingStatus;
}

}  // namespace pushnote::stand_in
