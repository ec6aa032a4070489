// libcurl backend of the HTTP client operations, with the observable
// behaviour of the Windows client: a lazy connection (a dead host shows when
// sending), a send that returns once the response head is in, and a body read
// piece by piece (see Transfer).
#include <curl/curl.h>
#include <strings.h>

#include <cstring>
#include <new>
#include <string>

#include "http/http_client.h"
#include "http/sender_connection_pool_curl.h"
#include "http/transfer_curl.h"

namespace pushnote::http {
namespace {

constexpr long kMaxUrlRedirects = 10;

struct Connection final : HandleObject {
    const Session* session = nullptr;
    std::string host;
    std::uint16_t port = 0;
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
                curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https");
                curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
                curl_easy_setopt(e, CURLOPT_MAXREDIRS, kMaxUrlRedirects);
                curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, RedirectSchemes(url));
                transfer->BoundAsFetch();
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
