// libcurl backend of the HTTP client operations, with the observable
// behaviour of the Windows client: a lazy connection (a dead host shows when
// sending), a send that returns once the response head is in, and a body read
// piece by piece. Each transfer runs on a multi handle that this thread drives;
// a paused write callback keeps at most one received chunk in memory.
#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "http/http_client.h"
#include "http/progress_watch.h"
#include "http/response_head_curl.h"
#include "http/sender_connection_pool_curl.h"
#include "http/transport_config.h"

namespace pushnote::http {
namespace {

using Clock = std::chrono::steady_clock;

constexpr long kMaxUrlRedirects = 10;
constexpr auto kMinBytesPerPeriod = ProgressWatch::kMinBytesPerPeriod;

struct HandleObject {
    virtual ~HandleObject() = default;
};

struct Session final : HandleObject {
    std::string agent;
    ProxyMode proxy = ProxyMode::System;
};

struct Connection final : HandleObject {
    const Session* session = nullptr;
    std::string host;
    std::uint16_t port = 0;
};

// One HTTP exchange: a notify request or an opened URL.
class Transfer final : public HandleObject {
public:
    Transfer(CURLM* multi, bool ownsMulti) noexcept
        : easy_(curl_easy_init()), multi_(multi), ownsMulti_(ownsMulti) {}
    ~Transfer() override {
        if (added_) curl_multi_remove_handle(multi_, easy_);
        if (easy_) curl_easy_cleanup(easy_);
        if (ownsMulti_ && multi_) curl_multi_cleanup(multi_);
        curl_slist_free_all(headers_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;

    bool Configure(const Session& session, const char* url) {
        if (!easy_ || !multi_) return false;
        CURL* e = easy_;
        curl_easy_setopt(e, CURLOPT_URL, url);
        curl_easy_setopt(e, CURLOPT_USERAGENT, session.agent.c_str());
        if (session.proxy == ProxyMode::None) curl_easy_setopt(e, CURLOPT_NOPROXY, "*");
        if (*config::kCaBundle) curl_easy_setopt(e, CURLOPT_CAINFO, config::kCaBundle);
        curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(config::kTimeoutMs));
        // No progress, no wait: less than 1 KiB per timeout period, from the
        // request sent to the last byte of the answer (its head included),
        // ends the transfer.
        const long periodSeconds = std::max(1L, static_cast<long>(config::kTimeoutMs / 1000));
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, periodSeconds);
        curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT,
                         std::max(1L, static_cast<long>(kMinBytesPerPeriod) / periodSeconds));
        curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
        curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
        curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(e, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(e, CURLOPT_XFERINFOFUNCTION, &Transfer::OnProgress);
        curl_easy_setopt(e, CURLOPT_XFERINFODATA, this);
        return true;
    }

    CURL* easy() const noexcept { return easy_; }

    bool AddHeaderLine(const char* line) noexcept {
        curl_slist* extended = curl_slist_append(headers_, line);
        if (!extended) return false;
        headers_ = extended;
        return true;
    }
    curl_slist* headers() const noexcept { return headers_; }

    // Starts the exchange and runs it until the head of the final response
    // is in (or, for a URL, the first body bytes), or it ends. Once a final
    // head is in, the answer has begun: a later failure shows as a failed
    // read, after any body bytes that came before it.
    bool Start(bool waitForBody) noexcept {
        if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return false;
        added_ = true;
        if (!Drive([&] { return waitForBody ? !pending_.empty() : head_.Ended(); })) failed_ = true;
        if (head_.Ended()) return true;
        // Without an HTTP head (ftp), the body's first bytes begin the answer.
        return waitForBody && !failed_ && !(finished_ && result_ != CURLE_OK);
    }

    bool Status(std::uint32_t& status) const noexcept {
        if (!head_.Ended() || head_.Status() <= 0) return false;
        status = static_cast<std::uint32_t>(head_.Status());
        return true;
    }

    bool Read(void* buffer, std::uint32_t capacity, std::uint32_t& count) noexcept {
        count = 0;
        if (!added_) return false;
        if (pending_.size() == pendingRead_) {
            pending_.clear();
            pendingRead_ = 0;
            if (failed_) return false;
            if (!finished_) {
                paused_ = false;
                curl_easy_pause(easy_, CURLPAUSE_CONT);
                if (!Drive([&] { return !pending_.empty(); })) {
                    failed_ = true;
                    return false;
                }
            }
            if (pending_.empty()) return finished_ && result_ == CURLE_OK;
        }
        const std::size_t available = pending_.size() - pendingRead_;
        const std::size_t taken = available < capacity ? available : capacity;
        std::memcpy(buffer, pending_.data() + pendingRead_, taken);
        pendingRead_ += taken;
        count = static_cast<std::uint32_t>(taken);
        return true;
    }

private:
    // Runs the multi handle until done() holds or the transfer ends; false
    // when nothing moved for the timeout or the multi handle failed.
    template <typename Done>
    bool Drive(Done done) noexcept {
        const auto idleLimit = std::chrono::milliseconds(config::kTimeoutMs);
        auto lastProgress = Clock::now();
        for (;;) {
            int running = 0;
            if (curl_multi_perform(multi_, &running) != CURLM_OK) return false;
            CollectCompletion();
            if (finished_ || done()) return true;
            const auto now = Clock::now();
            if (progressed_) {
                progressed_ = false;
                lastProgress = now;
            } else if (now - lastProgress >= idleLimit) {
                return false;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                idleLimit - (now - lastProgress));
            const int waitMs = static_cast<int>(left.count() < 100 ? left.count() + 1 : 100);
            if (curl_multi_poll(multi_, nullptr, 0, waitMs, nullptr) != CURLM_OK) return false;
        }
    }

    void CollectCompletion() noexcept {
        int left = 0;
        while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
                finished_ = true;
                result_ = message->data.result;
            }
        }
    }

    static std::size_t OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
        auto& transfer = *static_cast<Transfer*>(self);
        const std::size_t length = size * count;
        transfer.progressed_ = true;
        // A head past its limit fails the transfer.
        return transfer.head_.TakeLine(data, length) ? length : 0;
    }

    // Holds one chunk at a time; the next one waits inside libcurl (paused)
    // until the reader has taken this one.
    static std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* self) {
        auto& transfer = *static_cast<Transfer*>(self);
        const std::size_t length = size * count;
        if (transfer.pending_.size() != transfer.pendingRead_ || transfer.paused_) {
            transfer.paused_ = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        try {
            transfer.pending_.assign(data, length);
            transfer.pendingRead_ = 0;
        } catch (...) {
            return 0;  // no memory: fails the transfer
        }
        transfer.progressed_ = true;
        return length;
    }

    static int OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                          curl_off_t uploaded) {
        auto& transfer = *static_cast<Transfer*>(self);
        if (downloaded != transfer.downloaded_ || uploaded != transfer.uploaded_) {
            transfer.downloaded_ = downloaded;
            transfer.uploaded_ = uploaded;
            transfer.progressed_ = true;
        }
        return 0;
    }

    CURL* easy_;
    CURLM* multi_;
    bool ownsMulti_;
    bool added_ = false;
    curl_slist* headers_ = nullptr;

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

template <typename Object>
Object* As(Handle handle) noexcept {
    return dynamic_cast<Object*>(static_cast<HandleObject*>(handle));
}

Handle ToHandle(HandleObject* object) noexcept {
    return object;
}

// Splits a CRLF-separated header text into lines for libcurl.
bool AddHeaderLines(Transfer& transfer, const char* headers, std::uint32_t length) {
    std::string line;
    for (std::uint32_t i = 0; i <= length; ++i) {
        if (i == length || headers[i] == '\r' || headers[i] == '\n') {
            if (!line.empty() && !transfer.AddHeaderLine(line.c_str())) return false;
            line.clear();
        } else {
            line += headers[i];
        }
    }
    // The request names no accept types; libcurl would send "Accept: */*".
    if (!transfer.AddHeaderLine("Accept:")) return false;
    // libcurl would otherwise announce larger bodies with "Expect: 100-continue"
    // and wait for the service to answer it.
    return transfer.AddHeaderLine("Expect:");
}

// A redirect never leads from https to plain http: the text would come over a
// link less protected than the one the caller asked for.
const char* RedirectSchemes(const char* url) {
    return strncasecmp(url, "https:", 6) == 0 ? "https" : "http,https";
}

class CurlClient final : public Client {
public:
    Handle OpenSession(const char* agent, ProxyMode proxy) noexcept override {
        try {
            auto* session = new Session;
            session->agent = agent;
            session->proxy = proxy;
            return ToHandle(session);
        } catch (...) {
            return nullptr;
        }
    }

    Handle Connect(Handle session, const char* host, std::uint16_t port) noexcept override {
        const Session* owner = As<Session>(session);
        if (!owner) return nullptr;
        try {
            auto* connection = new Connection;
            connection->session = owner;
            connection->host = host;
            connection->port = port;
            return ToHandle(connection);
        } catch (...) {
            return nullptr;
        }
    }

    Handle OpenRequest(Handle connection, const char* verb, const char* path) noexcept override {
        const Connection* owner = As<Connection>(connection);
        if (!owner) return nullptr;
        try {
            const std::string url =
                "https://" + owner->host + ":" + std::to_string(owner->port) + path;
            auto* request = new Transfer(SenderMulti(), false);
            if (!request->Configure(*owner->session, url.c_str())) {
                delete request;
                return nullptr;
            }
            curl_easy_setopt(request->easy(), CURLOPT_CUSTOMREQUEST, verb);
            curl_easy_setopt(request->easy(), CURLOPT_PROTOCOLS_STR, "https");
            return ToHandle(request);
        } catch (...) {
            return nullptr;
        }
    }

    bool SendRequest(Handle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) noexcept override {
        Transfer* transfer = As<Transfer>(request);
        if (!transfer) return false;
        try {
            if (!AddHeaderLines(*transfer, headers, headersLength)) return false;
        } catch (...) {
            return false;
        }
        CURL* e = transfer->easy();
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, transfer->headers());
        curl_easy_setopt(e, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyLength));
        curl_easy_setopt(e, CURLOPT_POSTFIELDS, body ? body : "");
        return transfer->Start(false);
    }

    bool QueryStatusCode(Handle request, std::uint32_t& status) noexcept override {
        const Transfer* transfer = As<Transfer>(request);
        return transfer && transfer->Status(status);
    }

    // libcurl keeps the final response's headers (interim heads apart).
    bool QueryHeader(Handle request, const char* name, char* value,
                     std::uint32_t& length) noexcept override {
        const Transfer* transfer = As<Transfer>(request);
        curl_header* header = nullptr;
        if (!transfer ||
            curl_easy_header(transfer->easy(), name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK) {
            return false;
        }
        const std::size_t size = std::strlen(header->value);
        if (size >= length) return false;
        std::memcpy(value, header->value, size + 1);
        length = static_cast<std::uint32_t>(size);
        return true;
    }

    bool ReadBody(Handle handle, void* buffer, std::uint32_t capacity,
                  std::uint32_t& count) noexcept override {
        Transfer* transfer = As<Transfer>(handle);
        count = 0;
        return transfer && transfer->Read(buffer, capacity, count);
    }

    Handle OpenUrl(Handle session, const char* url) noexcept override {
        const Session* owner = As<Session>(session);
        if (!owner) return nullptr;
        auto* transfer = new (std::nothrow) Transfer(curl_multi_init(), true);
        if (!transfer) return nullptr;
        try {
            if (transfer->Configure(*owner, url)) {
                CURL* e = transfer->easy();
                curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
                curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
                curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxUrlRedirects);
                curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, RedirectSchemes(url));
                if (transfer->Start(true)) return ToHandle(transfer);
            }
        } catch (...) {
        }
        delete transfer;
        return nullptr;
    }

    void Close(Handle handle) noexcept override { delete static_cast<HandleObject*>(handle); }
};

}  // namespace

Client& PlatformClient() noexcept {
    static CurlClient client;
    return client;
}

}  // namespace pushnote::http
