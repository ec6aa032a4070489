#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "http/http_client.h"

namespace pushnote::testing {

// What a ScriptedService answers, and the step at which it fails.
struct Script {
    enum class Step { Session, Connect, Request, Send, Status, Read, OpenUrl, None };

    Step failAt = Step::None;
    std::uint32_t status = 200;
    std::map<std::string, std::string> responseHeaders;
    std::string responseBody;
    std::uint32_t readPieceSize = 4096;
    // With failAt == Step::Read: how many reads succeed before one fails.
    int readsBeforeFailure = 0;
};

// A fake service that answers as its script says, and counts the handles
// still open to show that every failure closes what it opened.
class ScriptedService final : public http::Client {
public:
    explicit ScriptedService(const Script& script) noexcept : script_(script) {}

    int OpenHandles() const { return openHandles_; }

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
    http::Handle Open(char kind) noexcept;

    const Script& script_;
    char kinds_[5] = "scru";  // a handle points at its kind
    std::size_t bodyOffset_ = 0;
    int reads_ = 0;
    int openHandles_ = 0;
};

}  // namespace pushnote::testing
