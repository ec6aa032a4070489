#include "http/response_head_curl.h"

#include <cstring>

#include "http/http_client.h"

namespace pushnote::http {
namespace {

constexpr std::size_t kStatusDigits = 3;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "HTTP/<version> <three digits>[ <reason>]": anything else is no status.
int ParseStatus(const char* line, std::size_t length) {
    const char* space = static_cast<const char*>(std::memchr(line, ' ', length));
    if (!space) return 0;
    const std::size_t start = static_cast<std::size_t>(space - line) + 1;
    if (length - start < kStatusDigits) return 0;
    int status = 0;
    for (std::size_t i = start; i < start + kStatusDigits; ++i) {
        if (!IsDigit(line[i])) return 0;
        status = status * 10 + (line[i] - '0');
    }
    const std::size_t after = start + kStatusDigits;
    if (after < length && IsDigit(line[after])) return 0;
    return status;
}

}  // namespace

bool ResponseHead::TakeLine(const char* line, std::size_t length) noexcept {
    bytes_ += length;
    if (bytes_ > kMaxResponseHeadBytes) return false;
    if (length >= 5 && std::memcmp(line, "HTTP/", 5) == 0) {
        bytes_ = length;
        ended_ = false;
        status_ = ParseStatus(line, length);
    } else if ((length == 2 && line[0] == '\r' && line[1] == '\n') ||
               (length == 1 && line[0] == '\n')) {
        if (status_ >= 200) ended_ = true;
    }
    return true;
}

}  // namespace pushnote::http
