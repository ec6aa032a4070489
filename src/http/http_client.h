#pragma once

#include <cstdint>
#include <initializer_list>
#include <utility>

namespace pushnote::http {

// An opaque handle of the platform's HTTP client; null means none.
using Handle = void*;

// The longest answer head (status line and headers) taken; a longer one is
// refused like no answer at all.
inline constexpr std::uint32_t kMaxResponseHeadBytes = 64 * 1024;

enum class ProxyMode {
    System,  // the platform's configured proxy (the senders)
    None,    // direct access (the URL fetch)
};

// The HTTP client operations the senders and the URL reader use, with the
// contract of the platform client they stand for. Every handle is opened and
// closed within one exported call, in reverse order of opening.
class Client {
public:
    virtual ~Client() = default;

    virtual Handle OpenSession(const char* agent, ProxyMode proxy) noexcept = 0;
    // Makes no network traffic yet: a host that cannot be reached shows when sending.
    virtual Handle Connect(Handle session, const char* host, std::uint16_t port) noexcept = 0;
    // A TLS request with no cache in either direction and no automatic redirect.
    virtual Handle OpenRequest(Handle connection, const char* verb, const char* path) noexcept = 0;
    // True once the request is sent and an HTTP response head received (with
    // a status, and no longer than kMaxResponseHeadBytes).
    virtual bool SendRequest(Handle request, const char* headers, std::uint32_t headersLength,
                             const void* body, std::uint32_t bodyLength) noexcept = 0;
    virtual bool QueryStatusCode(Handle request, std::uint32_t& status) noexcept = 0;
    // Copies the value of the response header name, terminated, into value;
    // length holds its capacity and comes back as the value's length. False
    // when the response has no such header or the value does not fit.
    virtual bool QueryHeader(Handle request, const char* name, char* value,
                             std::uint32_t& length) noexcept = 0;
    // Stores up to capacity body bytes, returning with those that have
    // arrived; count is 0 at the end of the body and after a failed read. A
    // body that ends before its announced length is a failed read.
    virtual bool ReadBody(Handle handle, void* buffer, std::uint32_t capacity,
                          std::uint32_t& count) noexcept = 0;
    // Opens any URL the client accepts, without cache, ready to read its body;
    // none when its answer head is refused as in SendRequest. The answer is
    // bound by a FetchDeadline (progress_watch.h): once it has passed, opening
    // fails, and so does every read that would wait for more of the body.
    virtual Handle OpenUrl(Handle session, const char* url) noexcept = 0;
    virtual void Close(Handle handle) noexcept = 0;
};

// The platform's client, chosen by the build.
Client& PlatformClient() noexcept;

// The handles one exported call opens. CloseAll closes those that are set,
// request (or URL) first, then connection, then session; the destructor does
// the same for any still open.
struct HandleSlots {
    explicit HandleSlots(Client& owner) noexcept : client(owner) {}
    HandleSlots(const HandleSlots&) = delete;
    HandleSlots& operator=(const HandleSlots&) = delete;
    ~HandleSlots() { CloseAll(); }

    void CloseAll() noexcept {
        for (Handle* slot : {&request, &connection, &session}) {
            if (*slot) client.Close(std::exchange(*slot, nullptr));
        }
    }

    Client& client;
    Handle session = nullptr;
    Handle connection = nullptr;
    Handle request = nullptr;
};

}  // namespace pushnote::http
