// WinINet backend of the HTTP client operations.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>

#include "http/http_client.h"
#include "http/progress_watch.h"
#include "http/transport_config.h"

namespace pushnote::http {
namespace {

// TLS, no cache read or write, no automatic redirect. Certificate date and
// name errors are NOT ignored: the token must only reach the real service.
constexpr DWORD kNotifyRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                      INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT;
constexpr DWORD kUrlFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE;

// Owns one WinINet handle; closes it when destroyed.
class InternetHandle {
public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) noexcept : handle_(handle) {}
    InternetHandle(InternetHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, nullptr)) {}
    InternetHandle& operator=(InternetHandle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    ~InternetHandle() {
        if (handle_) InternetCloseHandle(handle_);
    }

    HINTERNET get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != nullptr; }

private:
    HINTERNET handle_ = nullptr;
};

// What one Handle of this client stands for: a WinINet handle, and for a URL
// opened step by step, the connection it was opened on. Members close in
// reverse order: the request before its connection.
struct OpenedHandle {
    InternetHandle connection;  // only for a URL opened step by step
    InternetHandle handle;
    std::uint64_t bodyReceived = 0;
    std::optional<FetchDeadline> deadline;  // only for an opened URL
};

OpenedHandle& Opened(Handle handle) {
    return *static_cast<OpenedHandle*>(handle);
}

HINTERNET AsInternet(Handle handle) {
    return Opened(handle).handle.get();
}

// After a send: whether an answer came back whose head is taken. WinINet
// reports a connection closed before any answer as status 0, and takes heads
// of any length.
bool AnswerHeadTaken(HINTERNET request) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr) ||
        status == 0) {
        return false;
    }
    DWORD headSize = 0;
    if (!HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &headSize, nullptr) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }
    return headSize <= kMaxResponseHeadBytes;
}

// At the end of a body: whether all that its head announced has come.
// WinINet ends a body cut short by a reset as if it were complete.
bool BodyComplete(HINTERNET handle, std::uint64_t received) {
    DWORD announced = 0;
    DWORD size = sizeof announced;
    if (!HttpQueryInfoA(handle, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                        &size, nullptr)) {
        return true;  // no length announced (chunked, or no HTTP)
    }
    return received >= announced;
}

// Takes ownership of what was opened; none when nothing was, or no memory.
Handle Wrap(InternetHandle handle, InternetHandle connection = {},
            std::optional<FetchDeadline> deadline = {}) noexcept {
    if (!handle) return nullptr;
    return new (std::nothrow)
        OpenedHandle{std::move(connection), std::move(handle), 0, std::move(deadline)};
}

constexpr std::chrono::milliseconds kPeriod(config::kTimeoutMs);

FetchDeadline StartDeadline() noexcept {
    return FetchDeadline(kPeriod, FetchDeadline::Clock::now());
}

// Before a fetch waits: whether time is left, and then no single wait for
// bytes (the receive timeout) reaching past the deadline.
bool WaitWithin(HINTERNET handle, const FetchDeadline& deadline) {
    const auto wait = deadline.Wait(kPeriod, FetchDeadline::Clock::now());
    if (wait.count() <= 0) return false;
    DWORD timeout = static_cast<DWORD>(wait.count());
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    return true;
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
    std::string object;  // path and query
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
    // A fragment names a place inside the document: it is never sent.
    if (const std::size_t fragment = parts.object.find('#'); fragment != std::string::npos) {
        parts.object.erase(fragment);
    }
    return true;
}

const char* NullIfEmpty(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

// Redirects a URL fetch follows at most; one more fails it, and so does a loop.
constexpr int kMaxUrlRedirects = 10;

// One GET of an http or https URL, no redirect followed, and the connection
// it runs on. The connection and request that the URL open makes inside take
// no send or receive timeout from the session (Wine passes down only the
// connect timeout), so a server that accepts and never answers would hold the
// call for ever; here the limits are set on both before the request is sent.
// (A server that never completes the TLS handshake still holds it under Wine,
// whose handshake has no timeout.)
struct SentGet {
    InternetHandle connection;
    InternetHandle request;
};

bool SendGet(HINTERNET session, const HttpUrl& url, const FetchDeadline& deadline,
             SentGet& sent) noexcept {
    sent.connection =
        InternetHandle(InternetConnectA(session, url.host.c_str(), url.port, NullIfEmpty(url.user),
                                        NullIfEmpty(url.password), INTERNET_SERVICE_HTTP, 0, 0));
    if (!sent.connection) return false;
    LimitWaiting(sent.connection.get());
    const char* acceptTypes[] = {"*/*", nullptr};
    const DWORD flags =
        kUrlFlags | INTERNET_FLAG_NO_AUTO_REDIRECT | (url.secure ? INTERNET_FLAG_SECURE : 0);
    sent.request = InternetHandle(HttpOpenRequestA(sent.connection.get(), "GET", url.object.c_str(),
                                                   nullptr, nullptr, acceptTypes, flags, 0));
    if (!sent.request) return false;
    LimitWaiting(sent.request.get());
    if (!WaitWithin(sent.request.get(), deadline) ||
        !HttpSendRequestA(sent.request.get(), nullptr, 0, nullptr, 0)) {
        return false;
    }
    return AnswerHeadTaken(sent.request.get());
}

// The absolute URL that a redirect answer to base points to; empty for any
// other answer, which is then read as it is.
std::string RedirectTarget(HINTERNET request, const std::string& base) {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
        return {};
    }
    if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) {
        return {};
    }
    char location[INTERNET_MAX_URL_LENGTH + 1];
    size = sizeof location;
    if (!HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, nullptr)) return {};
    char target[INTERNET_MAX_URL_LENGTH + 1];
    size = sizeof target;
    if (!InternetCombineUrlA(base.c_str(), location, target, &size, ICU_NO_ENCODE)) return {};
    return target;
}

// What the URL open does for http and https, step by step, redirects
// included: Wine's client follows them without limit, so a loop held the call
// for ever. None leads from https to plain http: the text would come over a
// link less protected than the one the caller asked for. The handle owns the
// connection too, so that closing it closes both, as closing a URL open's
// handle does. The deadline runs from the first request; redirects count in it.
Handle OpenHttpUrl(HINTERNET session, std::string url, HttpUrl parts) {
    const bool startedSecure = parts.secure;
    const FetchDeadline deadline = StartDeadline();
    for (int redirects = 0;; ++redirects) {
        SentGet sent;
        if (!SendGet(session, parts, deadline, sent)) return nullptr;
        std::string target = RedirectTarget(sent.request.get(), url);
        if (target.empty()) {
            return Wrap(std::move(sent.request), std::move(sent.connection), deadline);
        }
        if (redirects == kMaxUrlRedirects || !SplitHttpUrl(target.c_str(), parts) ||
            (startedSecure && !parts.secure)) {
            return nullptr;
        }
        url = std::move(target);
    }
}

class WinInetClient final : public Client {
public:
    Handle OpenSession(const char* agent, ProxyMode proxy) noexcept override {
        const DWORD access =
            proxy == ProxyMode::System ? INTERNET_OPEN_TYPE_PRECONFIG : INTERNET_OPEN_TYPE_DIRECT;
        InternetHandle session(InternetOpenA(agent, access, nullptr, nullptr, 0));
        if (session) LimitWaiting(session.get());
        return Wrap(std::move(session));
    }

    Handle Connect(Handle session, const char* host, std::uint16_t port) noexcept override {
        InternetHandle connection(InternetConnectA(AsInternet(session), host, port, nullptr,
                                                   nullptr, INTERNET_SERVICE_HTTP, 0, 0));
        if (connection) LimitWaiting(connection.get());
        return Wrap(std::move(connection));
    }

    Handle OpenRequest(Handle connection, const char* verb, const char* path) noexcept override {
        InternetHandle request(HttpOpenRequestA(AsInternet(connection), verb, path, nullptr,
                                                nullptr, nullptr, kNotifyRequestFlags, 0));
        if (request) LimitWaiting(request.get());
        return Wrap(std::move(request));
    }

    bool SendRequest(Handle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) noexcept override {
        return HttpSendRequestA(AsInternet(request), headers, headersLength,
                                const_cast<void*>(body), bodyLength) &&
               AnswerHeadTaken(AsInternet(request));
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

    // The custom query takes the header's name in the buffer it answers in.
    bool QueryHeader(Handle request, const char* name, char* value,
                     std::uint32_t& length) noexcept override {
        if (std::strlen(name) >= length) return false;
        std::strcpy(value, name);
        DWORD size = length;
        if (!HttpQueryInfoA(AsInternet(request), HTTP_QUERY_CUSTOM, value, &size, nullptr)) {
            return false;
        }
        length = size;
        return true;
    }

    // Waits for some bytes (up to the receive timeout) and takes only those
    // that have arrived: a plain read waits until its whole capacity is
    // filled, which a peer sending a byte at a time stretches without end.
    bool ReadBody(Handle handle, void* buffer, std::uint32_t capacity,
                  std::uint32_t& count) noexcept override {
        count = 0;
        OpenedHandle& opened = Opened(handle);
        if (opened.deadline && !WaitWithin(opened.handle.get(), *opened.deadline)) return false;
        DWORD available = 0;
        if (!InternetQueryDataAvailable(opened.handle.get(), &available, 0, 0)) return false;
        if (available == 0) return BodyComplete(opened.handle.get(), opened.bodyReceived);
        DWORD read = 0;
        const DWORD wanted = available < capacity ? available : capacity;
        if (!InternetReadFile(opened.handle.get(), buffer, wanted, &read)) return false;
        opened.bodyReceived += read;
        count = read;
        return true;
    }

    // http and https step by step (see OpenHttpUrl). The URL open itself
    // would also fetch ftp, whose command exchange no deadline covers.
    Handle OpenUrl(Handle session, const char* url) noexcept override {
        HttpUrl parts;
        try {
            if (SplitHttpUrl(url, parts)) return OpenHttpUrl(AsInternet(session), url, parts);
        } catch (...) {
        }
        return nullptr;  // another scheme, or no memory for the URLs
    }

    void Close(Handle handle) noexcept override { delete static_cast<OpenedHandle*>(handle); }
};

}  // namespace

Client& PlatformClient() noexcept {
    static WinInetClient client;
    return client;
}

}  // namespace pushnote::http
