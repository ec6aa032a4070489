// WinINet backend of the HTTP client operations.
#include <windows.h>
#include <wininet.h>

#include "frame/service_config.h"
#include "http/http_client.h"

namespace pushnote::http {
namespace {

// TLS, no cache read or write, no automatic redirect. Certificate date and
// name errors are NOT ignored: the token must only reach the real service.
constexpr DWORD kNotifyRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                      INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr DWORD kUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

HINTERNET AsInternet(Handle handle) { return static_cast<HINTERNET>(handle); }

// Bounds connect, send and receive. Set on every handle: some WinINet
// implementations ignore what is set on the session alone.
void LimitWaiting(HINTERNET handle) {
    DWORD timeout = config::kTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(handle, option, &timeout, sizeof timeout);
    }
}

class WinInetClient final : public Client {
public:
    Handle OpenSession(const char* agent, ProxyMode proxy) noexcept override {
        const DWORD access =
            proxy == ProxyMode::System ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT;
        HINTERNET session = InternetOpenA(agent, access, nullptr, nullptr, 0);
        if (session) LimitWaiting(session);
        return session;
    }

    Handle Connect(Handle session, const char* host, std::uint16_t port) noexcept override {
        HINTERNET connection = InternetConnectA(AsInternet(session), host, port, nullptr, nullptr,
                                                INTERNET_SERVICE_HTTP, 0, 0);
        if (connection) LimitWaiting(connection);
        return connection;
    }

    Handle OpenRequest(Handle connection, const char* verb, const char* path) noexcept override {
        HINTERNET request = HttpOpenRequestA(AsInternet(connection), verb, path, nullptr, nullptr,
                                             nullptr, kNotifyRequestFlags, 0);
        if (request) LimitWaiting(request);
        return request;
    }

    bool SendRequest(Handle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) noexcept override {
        return HttpSendRequestA(AsInternet(request), headers, headersLength,
                                const_cast<void*>(body), bodyLength) != FALSE;
    }

    bool QueryStatusCode(Handle request, std::uint32_t& status) noexcept override {
        DWORD value = 0;
        DWORD size = sizeof value;
        if (!HttpQueryInfoA(AsInternet(request), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER,
                            &value, &size, nullptr)) {
            return false;
        }
        status = value;
        return true;
    }

    bool ReadFile(Handle handle, void* buffer, std::uint32_t capacity,
                  std::uint32_t& count) noexcept override {
        DWORD read = 0;
        const bool ok = InternetReadFile(AsInternet(handle), buffer, capacity, &read) != FALSE;
        count = ok ? read : 0;
        return ok;
    }

    Handle OpenUrl(Handle session, const char* url) noexcept override {
        return InternetOpenUrlA(AsInternet(session), url, nullptr, 0, kUrlFlags, 0);
    }

    void CloseHandle(Handle handle) noexcept override { InternetCloseHandle(AsInternet(handle)); }
};

}  // namespace

Client& PlatformClient() noexcept {
    static WinInetClient client;
    return client;
}

}  // namespace pushnote::http
