#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "http/forwarding_client.h"
#include "support/scripted_service.h"

namespace pushnote::testing {

// A fake HTTP client that records every call and can fail any one of them,
// to show which step a failure stops at and in what order handles close: it
// records each call with its arguments, then passes it on to a service that
// answers as the script (its Script part) says.
class RecordingClient final : public Script, public http::ForwardingClient {
public:
    RecordingClient() noexcept : ForwardingClient(service_), service_(*this) {}

    std::vector<std::string> calls;
    std::string sentHeaders;
    std::string sentBody;
    std::string agent;
    http::ProxyMode proxy = http::ProxyMode::System;
    std::string host;
    std::uint16_t port = 0;
    std::string url;

    // The calls whose name starts with the given prefix, e.g. "Close".
    std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
    int OpenHandles() const { return service_.OpenHandles(); }

    http::Handle OpenSession(const char* agent, http::ProxyMode proxy) noexcept override;
    http::Handle Connect(http::Handle session, const char* host,
                         std::uint16_t port) noexcept override;
    http::Handle OpenRequest(http::Handle connection, const char* verb,
                             const char* path) noexcept override;
    bool SendRequest(http::Handle request, const char* headers, std::uint32_t headersLength,
                     const void* body, std::uint32_t bodyLength) noexcept override;
    bool QueryStatusCode(http::Handle request, std::uint32_t& status) noexcept override;
    bool QueryHeader(http::Handle request, const char* name, char* value,
                     std::uint32_t& length) noexcept override;
    bool ReadBody(http::Handle handle, void* buffer, std::uint32_t capacity,
                  std::uint32_t& count) noexcept override;
    http::Handle OpenUrl(http::Handle session, const char* url) noexcept override;
    void Close(http::Handle handle) noexcept override;

private:
    // Notes what an opened handle is, for the record of its Close.
    http::Handle Opened(http::Handle handle, const char* kind);

    ScriptedService service_;
    std::map<http::Handle, std::string> kinds_;
};

}  // namespace pushnote::testing
