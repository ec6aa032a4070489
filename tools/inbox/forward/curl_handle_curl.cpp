#include <memory>
#include <mutex>

#include "curl_handle.h"

namespace pushnote::inbox {
namespace {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};

}  // namespace

CURL* ThreadEasyHandle() {
    static std::once_flag curlReady;
    std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    thread_local std::unique_ptr<CURL, EasyDeleter> easy;
    if (easy) {
        curl_easy_reset(easy.get());
    } else {
        easy.reset(curl_easy_init());
    }
    return easy.get();
}

}  // namespace pushnote::inbox
