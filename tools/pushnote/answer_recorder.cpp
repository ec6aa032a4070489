#include "answer_recorder.h"

namespace pushnote::command {
namespace {

// Longer values are not seconds or a date: they are ignored.
constexpr std::uint32_t kRetryAfterCapacity = 128;

}  // namespace

void AnswerRecorder::Reset() noexcept {
    status_.reset();
    retryAfter_.clear();
}

http::Handle AnswerRecorder::OpenSession(const char* agent, http::ProxyMode proxy) noexcept {
    return inner_.OpenSession(agent, proxy);
}

http::Handle AnswerRecorder::Connect(http::Handle session, const char* host,
                                     std::uint16_t port) noexcept {
    return inner_.Connect(session, host, port);
}

http::Handle AnswerRecorder::OpenRequest(http::Handle connection, const char* verb,
                                         const char* path) noexcept {
    return inner_.OpenRequest(connection, verb, path);
}

bool AnswerRecorder::SendRequest(http::Handle request, const char* headers,
                                 std::uint32_t headersLength, const void* body,
                                 std::uint32_t bodyLength) noexcept {
    return inner_.SendRequest(request, headers, headersLength, body, bodyLength);
}

// The senders ask for the status once, right after sending: the moment to
// take the Retry-After header too.
bool AnswerRecorder::QueryStatusCode(http::Handle request, std::uint32_t& status) noexcept {
    if (!inner_.QueryStatusCode(request, status)) return false;
    status_ = status;
    char value[kRetryAfterCapacity];
    std::uint32_t length = sizeof value;
    if (inner_.QueryHeader(request, "Retry-After", value, length)) {
        try {
            retryAfter_.assign(value, length);
        } catch (...) {
            retryAfter_.clear();  // no memory: back off as without the header
        }
    }
    return true;
}

bool AnswerRecorder::QueryHeader(http::Handle request, const char* name, char* value,
                                 std::uint32_t& length) noexcept {
    return inner_.QueryHeader(request, name, value, length);
}

bool AnswerRecorder::ReadBody(http::Handle handle, void* buffer, std::uint32_t capacity,
                              std::uint32_t& count) noexcept {
    return inner_.ReadBody(handle, buffer, capacity, count);
}

http::Handle AnswerRecorder::OpenUrl(http::Handle session, const char* url) noexcept {
    return inner_.OpenUrl(session, url);
}

void AnswerRecorder::Close(http::Handle handle) noexcept {
    inner_.Close(handle);
}

}  // namespace pushnote::command
