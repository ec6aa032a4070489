#pragma once

#include <cstdint>

#include "http/http_client.h"

namespace pushnote::http {

// Passes every operation to another client: a layer that watches or changes
// a few operations extends it and overrides only those.
class ForwardingClient : public Client {
public:
    explicit ForwardingClient(Client& inner) noexcept : inner_(inner) {}

    Handle OpenSession(const char* agent, ProxyMode proxy) noexcept override {
        return inner_.OpenSession(agent, proxy);
    }
    Handle Connect(Handle session, const char* host, std::uint16_t port) noexcept override {
        return inner_.Connect(session, host, port);
    }
    Handle OpenRequest(Handle connection, const char* verb, const char* path) noexcept override {
        return inner_.OpenRequest(connection, verb, path);
    }
    bool SendRequest(Handle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) noexcept override {
        return inner_.SendRequest(request, headers, headersLength, body, bodyLength);
    }
    bool QueryStatusCode(Handle request, std::uint32_t& status) noexcept override {
        return inner_.QueryStatusCode(request, status);
    }
    bool QueryHeader(Handle request, const char* name, char* value,
                     std::uint32_t& length) noexcept override {
        return inner_.QueryHeader(request, name, value, length);
    }
    bool ReadBody(Handle handle, void* buffer, std::uint32_t capacity,
                  std::uint32_t& count) noexcept override {
        return inner_.ReadBody(handle, buffer, capacity, count);
    }
    Handle OpenUrl(Handle session, const char* url) noexcept override {
        return inner_.OpenUrl(session, url);
    }
    void Close(Handle handle) noexcept override { inner_.Close(handle); }

protected:
    Client& inner() noexcept { return inner_; }

private:
    Client& inner_;
};

}  // namespace pushnote::http
