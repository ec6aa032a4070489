// WinINet backend of the HTTP client operations.
#include <windows.h>
#include <wininet.h>

#include <string>

#include "frame/service_config.h"
#include "http/http_client.h"

namespace pushnote::http {
namespace {

// TLS, no cache read or write, no automatic redirect. Certificate date and
// name errors are NOT ignored: the token must only reach the real service.
constexpr DWORD kNotifyRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                      INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr DWORD kUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

HINTERNET AsInternet(Handle handle) {
    return static_cast<HINTERNET>(handle);
}

// Bounds connect, send and receive. Set on every handle: some WinINet
// implementations ignore what is set on the session alone.
void LimitWaiting(HINTERNET handle) {
    DWORD timeout = config::kTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT}) {
        InternetSetOptionA(handle, option, &timeout, sizeof timeout);
    }
}

// The parts of an http or https URL that the URL open would connect and
// request with.
struct HttpUrl {
    bool secure = false;
    INTERNET_PORT port = 0;
    std::string host;
    std::string user;
    std::string password;
    std::string object;  // path and extra information (query, fragment)
};

std::string Part(const char* text, DWORD length) {
    return text ? std::string(text, length) : std::string();
}

// False for a URL of any other scheme, or one that does not split.
bool SplitHttpUrl(const char* url, HttpUrl& parts) {
    URL_COMPONENTSA c{};
    c.dwStructSize = sizeof c;
    // Non-zero lengths without buffers: pointers into url come back.
    c.dwHostNameLength = c.dwUserNameLength = c.dwPasswordLength = 1;
    c.dwUrlPathLength = c.dwExtraInfoLength = 1;
    if (!InternetCrackUrlA(url, 0, 0, &c)) return false;
    if (c.nScheme != INTERNET_SCHEME_HTTP && c.nScheme != INTERNET_SCHEME_HTTPS) return false;
    parts.secure = c.nScheme == INTERNET_SCHEME_HTTPS;
    parts.port = c.nPort;
    parts.host = Part(c.lpszHostName, c.dwHostNameLength);
    parts.user = Part(c.lpszUserName, c.dwUserNameLength);
    parts.password = Part(c.lpszPassword, c.dwPasswordLength);
    parts.object =
        Part(c.lpszUrlPath, c.dwUrlPathLength) + Part(c.lpszExtraInfo, c.dwExtraInfoLength);
    return true;
}

const char* NullIfEmpty(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// What the URL open does for http and https, step by step. The connection and
// request that the URL open makes inside take no send or receive timeout from
// the session (Wine passes down only the connect timeout), so a server that
// accepts and never answers would hold the call for ever; here the limits are
// set on both before the request is sent. (A server that never completes the
// TLS handshake still holds it under Wine, whose handshake has no timeout.)
// The request carries its connection as its context value, so that closing
// the request closes both, as closing a URL open's handle does.
HINTERNET OpenHttpUrl(HINTERNET session, const HttpUrl& url) noexcept {
    HINTERNET connection =
        InternetConnectA(session, url.host.c_str(), url.port, NullIfEmpty(url.user),
                         NullIfEmpty(url.password), INTERNET_SERVICE_HTTP, 0, 0);
    if (!connection) return nullptr;
    LimitWaiting(connection);
    const char* acceptTypes[] = {"*/*", nullptr};
    const DWORD flags = kUrlFlags | (url.secure ? INTERNET_FLAG_SECURE : 0);
    HINTERNET request =
        HttpOpenRequestA(connection, "GET", url.object.c_str(), nullptr, nullptr, acceptTypes,
                         flags, reinterpret_cast<DWORD_PTR>(connection));
    if (!request) {
        InternetCloseHandle(connection);
        return nullptr;
    }
    LimitWaiting(request);
    if (!HttpSendRequestA(request, nullptr, 0, nullptr, 0)) {
        InternetCloseHandle(request);
        InternetCloseHandle(connection);
        return nullptr;
    }
    return request;
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

    // http and https step by step (see OpenHttpUrl); the rest (ftp) through
    // the URL open itself.
    Handle OpenUrl(Handle session, const char* url) noexcept override {
        HttpUrl parts;
        try {
            if (SplitHttpUrl(url, parts)) return OpenHttpUrl(AsInternet(session), parts);
        } catch (...) {
            return nullptr;  // no memory for the parts
        }
        return InternetOpenUrlA(AsInternet(session), url, nullptr, 0, kUrlFlags, 0);
    }

    void CloseHandle(Handle handle) noexcept override {
        // Only a request of OpenHttpUrl has a context value: its connection.
        DWORD_PTR connection = 0;
        DWORD size = sizeof connection;
        if (!InternetQueryOptionA(AsInternet(handle), INTERNET_OPTION_CONTEXT_VALUE, &connection,
                                  &size)) {
            connection = 0;
        }
        InternetCloseHandle(AsInternet(handle));
        if (connection) InternetCloseHandle(reinterpret_cast<HINTERNET>(connection));
    }
};

}  // namespace

Client& PlatformClient() noexcept {
    static WinInetClient client;
    return client;
}

}  // namespace pushnote::http
