#include "http/sender_connection_pool_curl.h"

namespace pushnote::http {
namespace {

class SenderConnectionPool {
public:
    SenderConnectionPool() noexcept : multi_(curl_multi_init()) {}
    ~SenderConnectionPool() {
        if (multi_) curl_multi_cleanup(multi_);
    }
    SenderConnectionPool(const SenderConnectionPool&) = delete;
    SenderConnectionPool& operator=(const SenderConnectionPool&) = delete;
    CURLM* multi() const noexcept { return multi_; }

private:
    CURLM* multi_;
};

}  // namespace

CURLM* SenderMulti() noexcept {
    static SenderConnectionPool pool;
    return pool.multi();
}

}  // namespace pushnote::http
