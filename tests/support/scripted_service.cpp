#include "support/scripted_service.h"

#include <cstring>

namespace pushnote::testing {

using Step = Script::Step;

http::Handle ScriptedService::Open(char kind) noexcept {
    ++openHandles_;
    return std::strchr(kinds_, kind);
}

http::Handle ScriptedService::OpenSession(const char*, http::ProxyMode) noexcept {
    return script_.failAt == Step::Session ? nullptr : Open('s');
}

http::Handle ScriptedService::Connect(http::Handle, const char*, std::uint16_t) noexcept {
    return script_.failAt == Step::Connect ? nullptr : Open('c');
}

http::Handle ScriptedService::OpenRequest(http::Handle, const char*, const char*) noexcept {
    return script_.failAt == Step::Request ? nullptr : Open('r');
}

bool ScriptedService::SendRequest(http::Handle, const char*, std::uint32_t, const void*,
                                  std::uint32_t) noexcept {
    return script_.failAt != Step::Send;
}

bool ScriptedService::QueryStatusCode(http::Handle, std::uint32_t& status) noexcept {
    if (script_.failAt == Step::Status) return false;
    status = script_.status;
    return true;
}

bool ScriptedService::QueryHeader(http::Handle, const char* name, char* value,
                                  std::uint32_t& length) noexcept {
    const auto header = script_.responseHeaders.find(name);
    if (header == script_.responseHeaders.end() || header->second.size() >= length) return false;
    std::memcpy(value, header->second.c_str(), header->second.size() + 1);
    length = static_cast<std::uint32_t>(header->second.size());
    return true;
}

bool ScriptedService::ReadBody(http::Handle, void* buffer, std::uint32_t capacity,
                               std::uint32_t& count) noexcept {
    count = 0;
    if (script_.failAt == Step::Read && reads_++ >= script_.readsBeforeFailure) return false;
    const std::string& body = script_.responseBody;
    std::size_t piece = body.size() - bodyOffset_;
    if (piece > capacity) piece = capacity;
    if (piece > script_.readPieceSize) piece = script_.readPieceSize;
    std::memcpy(buffer, body.data() + bodyOffset_, piece);
    bodyOffset_ += piece;
    count = static_cast<std::uint32_t>(piece);
    return true;
}

http::Handle ScriptedService::OpenUrl(http::Handle, const char*) noexcept {
    return script_.failAt == Step::OpenUrl ? nullptr : Open('u');
}

void ScriptedService::Close(http::Handle) noexcept {
    --openHandles_;
}

}  // namespace pushnote::testing
