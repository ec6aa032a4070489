#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "http/http_client.h"
#include "http/progress_watch.h"
#include "http/response_head_curl.h"

namespace pushnote::http {

// What the client's handles point to; deleting one closes it.
struct HandleObject {
    virtual ~HandleObject() = default;
};

struct Session final : HandleObject {
    std::string agent;
    ProxyMode proxy = ProxyMode::System;
};

// One HTTP exchange: a notify request or an opened URL. Each runs on a multi
// handle that this thread drives; a paused write callback keeps at most one
// received chunk in memory.
class Transfer final : public HandleObject {
public:
    Transfer(CURLM* multi, bool ownsMulti) noexcept;
    ~Transfer() override;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    bool Configure(const Session& session, const char* url);
    // Bounds the whole answer by a FetchDeadline from the request sent: the
    // URL fetch's rule. The senders' requests keep theirs (see NotifyExchange).
    void BoundAsFetch() noexcept { boundAsFetch_ = true; }

    CURL* easy() const noexcept { return easy_; }

    bool AddHeaderLine(const char* line) noexcept;
    curl_slist* headers() const noexcept { return headers_; }

    // Starts the exchange and runs it until the head of the final response
    // is in (or, for a URL, the first body bytes), or it ends. Once a final
    // head is in, the answer has begun: a later failure shows as a failed
    // read, after any body bytes that came before it.
    bool Start(bool waitForBody) noexcept;

    bool Status(std::uint32_t& status) const noexcept;

    bool Read(void* buffer, std::uint32_t capacity, std::uint32_t& count) noexcept;

private:
    // Runs the multi handle until done() holds or the transfer ends; false
    // when nothing moved for the timeout or the multi handle failed.
    template <typename Done>
    bool Drive(Done done) noexcept;
    void CollectCompletion() noexcept;
    // The fetch's deadline, once libcurl has sent the request.
    const FetchDeadline* Deadline() noexcept;

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self);
    static int OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                          curl_off_t uploaded);

    CURL* easy_;
    CURLM* multi_;
    bool ownsMulti_;
    bool added_ = false;
    curl_slist* headers_ = nullptr;
    bool boundAsFetch_ = false;
    FetchDeadline::Clock::time_point started_{};
    std::optional<FetchDeadline> deadline_;

    bool progressed_ = false;
    curl_off_t downloaded_ = 0;
    curl_off_t uploaded_ = 0;
    ResponseHead head_;
    bool finished_ = false;
    bool failed_ = false;  // stalled, or the multi handle failed
    CURLcode result_ = CURLE_OK;
    bool paused_ = false;
    std::string pending_;
    std::size_t pendingRead_ = 0;
};

}  // namespace pushnote::http
