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

// The senders ask for the status once, right after sending: the moment to
// take the Retry-After header too.
bool AnswerRecorder::QueryStatusCode(http::Handle request, std::uint32_t& status) noexcept {
    if (!inner().QueryStatusCode(request, status)) return false;
    status_ = status;
    char value[kRetryAfterCapacity];
    std::uint32_t length = sizeof value;
    if (inner().QueryHeader(request, "Retry-After", value, length)) {
        try {
            retryAfter_.assign(value, length);
        } catch (...) {
            retryAfter_.clear();  // no memory: back off as without the header
        }
    }
    return true;
}

}  // namespace pushnote::command
