#include "support/recording_client.h"

#include <cstring>

namespace pushnote::testing {
namespace {

const char* HandleName(http::Handle handle) {
    switch (*static_cast<char*>(handle)) {
        case 's':
            return "session";
        case 'c':
            return "connection";
        case 'r':
            return "request";
        default:
            return "url";
    }
}

}  // namespace

std::vector<std::string> RecordingClient::CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> matching;
    for (const std::string& call : calls) {
        if (call.rfind(prefix, 0) == 0) matching.push_back(call);
    }
    return matching;
}

http::Handle RecordingClient::Open(const char* name) {
    ++openHandles_;
    return std::strchr(names_, name[0]);
}

http::Handle RecordingClient::OpenSession(const char* agentName, http::ProxyMode mode) noexcept {
    calls.push_back("OpenSession");
    agent = agentName;
    proxy = mode;
    return failAt == Step::Session ? nullptr : Open("s");
}

http::Handle RecordingClient::Connect(http::Handle, const char* hostName,
                                      std::uint16_t portNumber) noexcept {
    calls.push_back("Connect");
    host = hostName;
    port = portNumber;
    return failAt == Step::Connect ? nullptr : Open("c");
}

http::Handle RecordingClient::OpenRequest(http::Handle, const char* verb,
                                          const char* path) noexcept {
    calls.push_back(std::string("OpenRequest ") + verb + " " + path);
    return failAt == Step::Request ? nullptr : Open("r");
}

bool RecordingClient::SendRequest(http::Handle, const char* headers, std::uint32_t headersLength,
                                  const void* body, std::uint32_t bodyLength) noexcept {
    calls.push_back("SendRequest");
    sentHeaders.assign(headers, headersLength);
    sentBody.assign(static_cast<const char*>(body), bodyLength);
    return failAt != Step::Send;
}

bool RecordingClient::QueryStatusCode(http::Handle, std::uint32_t& statusCode) noexcept {
    calls.push_back("QueryStatusCode");
    if (failAt == Step::Status) return false;
    statusCode = status;
    return true;
}

bool RecordingClient::QueryHeader(http::Handle, const char* name, char* value,
                                  std::uint32_t& length) noexcept {
    calls.push_back(std::string("QueryHeader ") + name);
    const auto header = responseHeaders.find(name);
    if (header == responseHeaders.end() || header->second.size() >= length) return false;
    std::memcpy(value, header->second.c_str(), header->second.size() + 1);
    length = static_cast<std::uint32_t>(header->second.size());
    return true;
}

bool RecordingClient::ReadBody(http::Handle, void* buffer, std::uint32_t capacity,
                               std::uint32_t& count) noexcept {
    calls.push_back("ReadBody");
    count = 0;
    if (failAt == Step::Read && reads_++ >= readsBeforeFailure) return false;
    std::size_t piece = responseBody.size() - bodyOffset_;
    if (piece > capacity) piece = capacity;
    if (piece > readPieceSize) piece = readPieceSize;
    std::memcpy(buffer, responseBody.data() + bodyOffset_, piece);
    bodyOffset_ += piece;
    count = static_cast<std::uint32_t>(piece);
    return true;
}

http::Handle RecordingClient::OpenUrl(http::Handle, const char* address) noexcept {
    calls.push_back("OpenUrl");
    url = address;
    return failAt == Step::OpenUrl ? nullptr : Open("u");
}

void RecordingClient::Close(http::Handle handle) noexcept {
    --openHandles_;
    calls.push_back(std::string("Close ") + HandleName(handle));
}

}  // namespace pushnote::testing
