#include "support/recording_client.h"

namespace pushnote::testing {

std::vector<std::string> RecordingClient::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& call : calls) {
        if (call.rfind(prefix, 0) == 0) matching.push_back(call);
    }
    return matching;
}

http::Handle RecordingClient::Opened(http::Handle handle, const char* kind) {
    if (handle) kinds_[handle] = kind;
    return handle;
}

http::Handle RecordingClient::OpenSession(const char* agentName, http::ProxyMode mode) noexcept {
    calls.push_back("OpenSession");
    agent = agentName;
    proxy = mode;
    return Opened(ForwardingClient::OpenSession(agentName, mode), "session");
}

http::Handle RecordingClient::Connect(http::Handle session, const char* hostName,
                                      std::uint16_t portNumber) noexcept {
    calls.push_back("Connect");
    host = hostName;
    port = portNumber;
    return Opened(ForwardingClient::Connect(session, hostName, portNumber), "connection");
}

http::Handle RecordingClient::OpenRequest(http::Handle connection, const char* verb,
                                          const char* path) noexcept {
    calls.push_back(std::string("OpenRequest ") + verb + " " + path);
    return Opened(ForwardingClient::OpenRequest(connection, verb, path), "request");
}

bool RecordingClient::SendRequest(http::Handle request, const char* headers,
                                  std::uint32_t headersLength, const void* body,
                                  std::uint32_t bodyLength) noexcept {
    calls.push_back("SendRequest");
    sentHeaders.assign(headers, headersLength);
    sentBody.assign(static_cast<const char*>(body), bodyLength);
    return ForwardingClient::SendRequest(request, headers, headersLength, body, bodyLength);
}

bool RecordingClient::QueryStatusCode(http::Handle request, std::uint32_t& statusCode) noexcept {
    calls.push_back("QueryStatusCode");
    return ForwardingClient::QueryStatusCode(request, statusCode);
}

bool RecordingClient::QueryHeader(http::Handle request, const char* name, char* value,
                                  std::uint32_t& length) noexcept {
    calls.push_back(std::string("QueryHeader ") + name);
    return ForwardingClient::QueryHeader(request, name, value, length);
}

bool RecordingClient::ReadBody(http::Handle handle, void* buffer, std::uint32_t capacity,
                               std::uint32_t& count) noexcept {
    calls.push_back("ReadBody");
    return ForwardingClient::ReadBody(handle, buffer, capacity, count);
}

http::Handle RecordingClient::OpenUrl(http::Handle session, const char* address) noexcept {
    calls.push_back("OpenUrl");
    url = address;
    return Opened(ForwardingClient::OpenUrl(session, address), "url");
}

void RecordingClient::Close(http::Handle handle) noexcept {
    const auto kind = kinds_.find(handle);
    calls.push_back("Close " + (kind == kinds_.end() ? std::string("unknown") : kind->second));
    ForwardingClient::Close(handle);
}

}  // namespace pushnote::testing
