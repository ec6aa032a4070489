#pragma once

#include <cstddef>

namespace pushnote::http {

// The head of a response as libcurl's header callback hands it over, one line
// at a time (line ending included, no terminator): the final status and
// whether the final head has ended. An interim (1xx) head is followed by
// another one, and a redirect that libcurl follows starts a new head.
class ResponseHead {
public:
    // False once the head has grown past kMaxResponseHeadBytes; each status
    // line starts the count afresh.
    bool TakeLine(const char* line, std::size_t length) noexcept;

    bool Ended() const noexcept { return ended_; }
    // The status code of the latest status line; 0 when it held no
    // three-digit code.
    int Status() const noexcept { return status_; }

private:
    int status_ = 0;
    bool ended_ = false;
    std::size_t bytes_ = 0;
};

}  // namespace pushnote::http
