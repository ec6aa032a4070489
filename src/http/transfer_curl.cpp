#include "http/transfer_curl.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "http/progress_watch.h"
#include "http/transport_config.h"

namespace pushnote::http {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr auto kMinBytesPerPeriod = ProgressWatch::kMinBytesPerPeriod;

}  // namespace

Transfer::Transfer(CURLM* multi, bool ownsMulti) noexcept
    : easy_(curl_easy_init()), multi_(multi), ownsMulti_(ownsMulti) {}

Transfer::~Transfer() {
    if (added_) curl_multi_remove_handle(multi_, easy_);
    if (easy_) curl_easy_cleanup(easy_);
    if (ownsMulti_ && multi_) curl_multi_cleanup(multi_);
    curl_slist_free_all(headers_);
}

template <typename Done>
bool Transfer::Drive(Done done) noexcept {
    const auto idleLimit = std::chrono::milliseconds(config::kTimeoutMs);
    auto lastProgress = Clock::now();
    for (;;) {
        int running = 0;
        if (curl_multi_perform(multi_, &running) != CURLM_OK) return false;
        CollectCompletion();
        const auto now = Clock::now();
        const FetchDeadline* deadline = Deadline();
        if (deadline && deadline->Passed(now)) return false;
        if (finished_ || done()) return true;
        if (progressed_) {
            progressed_ = false;
            lastProgress = now;
        } else if (now - lastProgress >= idleLimit) {
            return false;
        }
        auto wait = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 idleLimit - (now - lastProgress)) +
                                 1ms,
                             100ms);
        if (deadline) wait = std::min(wait, deadline->Wait(wait, now) + 1ms);
        if (curl_multi_poll(multi_, nullptr, 0, static_cast<int>(wait.count()), nullptr) !=
            CURLM_OK) {
            return false;
        }
    }
}

// libcurl's pre-transfer time marks the request going out (after the
// connection and its handshake, which the connect timeout bounds).
const FetchDeadline* Transfer::Deadline() noexcept {
    if (!boundAsFetch_) return nullptr;
    if (!deadline_) {
        curl_off_t sentAfter = 0;
        if (curl_easy_getinfo(easy_, CURLINFO_PRETRANSFER_TIME_T, &sentAfter) != CURLE_OK ||
            sentAfter <= 0) {
            return nullptr;
        }
        deadline_.emplace(std::chrono::milliseconds(config::kTimeoutMs),
                          started_ + std::chrono::microseconds(sentAfter));
    }
    return &*deadline_;
}

void Transfer::CollectCompletion() noexcept {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_) {
            finished_ = true;
            result_ = message->data.result;
        }
    }
}

bool Transfer::Configure(const Session& session, const char* url) {
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

bool Transfer::AddHeaderLine(const char* line) noexcept {
    curl_slist* extended = curl_slist_append(headers_, line);
    if (!extended) return false;
    headers_ = extended;
    return true;
}

bool Transfer::Start(bool waitForBody) noexcept {
    started_ = Clock::now();
    if (curl_multi_add_handle(multi_, easy_) != CURLM_OK) return false;
    added_ = true;
    if (!Drive([&] { return waitForBody ? !pending_.empty() : head_.Ended(); })) failed_ = true;
    if (head_.Ended()) return true;
    // Without an HTTP head (ftp), the body's first bytes begin the answer.
    return waitForBody && !failed_ && !(finished_ && result_ != CURLE_OK);
}

bool Transfer::Status(std::uint32_t& status) const noexcept {
    if (!head_.Ended() || head_.Status() <= 0) return false;
    status = static_cast<std::uint32_t>(head_.Status());
    return true;
}

bool Transfer::Read(void* buffer, std::uint32_t capacity, std::uint32_t& count) noexcept {
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

std::size_t Transfer::OnHeader(char* data, std::size_t size, std::size_t count, void* self) {
    auto& transfer = *static_cast<Transfer*>(self);
    const std::size_t length = size * count;
    transfer.progressed_ = true;
    // A head past its limit fails the transfer.
    return transfer.head_.TakeLine(data, length) ? length : 0;
}

// Holds one chunk at a time; the next one waits inside libcurl (paused)
// until the reader has taken this one.
std::size_t Transfer::OnBody(char* data, std::size_t size, std::size_t count, void* self) {
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

int Transfer::OnProgress(void* self, curl_off_t, curl_off_t downloaded, curl_off_t,
                         curl_off_t uploaded) {
    auto& transfer = *static_cast<Transfer*>(self);
    if (downloaded != transfer.downloaded_ || uploaded != transfer.uploaded_) {
        transfer.downloaded_ = downloaded;
        transfer.uploaded_ = uploaded;
        transfer.progressed_ = true;
    }
    return 0;
}

}  // namespace pushnote::http
