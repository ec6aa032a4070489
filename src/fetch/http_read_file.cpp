#include "fetch/http_read_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "base/memory.h"
#include "http/progress_watch.h"
#include "http/transport_config.h"

namespace pushnote {
namespace {

constexpr std::size_t kUrlCopySize = kMaxUrlLength + 1;
constexpr std::uint32_t kReadSize = 1024;

// The caller's text as the pieces of the body arrive: kept zero-terminated,
// never longer than room bytes, and ended for good by a zero byte in the body.
class GatheredText {
public:
    GatheredText(char* buffer, std::uint32_t room) noexcept : buffer_(buffer), room_(room) {
        buffer_[0] = '\0';
    }

    // piece is zero-terminated after its count bytes.
    void Append(const char* piece, std::uint32_t count) noexcept {
        if (ended_) return;
        const std::size_t pieceLength = std::strlen(piece);
        ended_ = pieceLength < count;
        const std::size_t taken = std::min(pieceLength, room_ - length_);
        std::memcpy(buffer_ + length_, piece, taken);
        length_ += taken;
        buffer_[length_] = '\0';
    }

    // Nothing more can change the text: the buffer is full or a zero byte came.
    bool Complete() const noexcept { return ended_ || length_ == room_; }

private:
    char* buffer_;
    std::size_t room_;
    std::size_t length_ = 0;
    bool ended_ = false;
};

// Only http and https, in any letter case: their answers come within the
// bounds of the transfer's deadlines, while a client's other schemes (ftp
// above all) have phases that no deadline of ours covers.
bool StartsWithInAnyCase(const char* text, const char* lowerPrefix) noexcept {
    for (; *lowerPrefix; ++text, ++lowerPrefix) {
        const char c = *text >= 'A' && *text <= 'Z' ? static_cast<char>(*text - 'A' + 'a') : *text;
        if (c != *lowerPrefix) return false;
    }
    return true;
}

bool IsHttpUrl(const char* url) noexcept {
    return StartsWithInAnyCase(url, "http://") || StartsWithInAnyCase(url, "https://");
}

}  // namespace

ResultCode HttpReadFile(const char* url, char* buffer, std::int32_t size,
                        http::Client& client) noexcept {
    // No room even for the terminator (a negative size is a caller's slip,
    // never 2 GiB or more of room): nothing may be written.
    if (!buffer || size <= 0) return -20;
    GatheredText text(buffer, static_cast<std::uint32_t>(size) - 1);

    if (!url) url = "";
    if (std::strlen(url) > kMaxUrlLength) return -20;
    if (!IsHttpUrl(url)) return 0;

    // Declared before the handles, so that they are released after the
    // handles close.
    Buffer urlCopy = Buffer::Obtain(kUrlCopySize);
    if (!urlCopy) return -30;
    Buffer readBuffer = Buffer::Obtain(kReadSize + 1);
    if (!readBuffer) return -30;
    std::strcpy(urlCopy.data(), url);

    http::HandleSlots handles(client);
    handles.session = client.OpenSession(kReaderAgent, http::ProxyMode::None);
    if (!handles.session) return 0;
    handles.request = client.OpenUrl(handles.session, urlCopy.data());
    if (!handles.request) return 0;

    // Read until the text is complete or the body ends. A failed read or a
    // body that stops moving ends it too, keeping the text gathered so far;
    // closing the handles then drops the rest of the body with its connection.
    using Clock = http::ProgressWatch::Clock;
    http::ProgressWatch watch(std::chrono::milliseconds(config::kTimeoutMs), Clock::now());
    while (!text.Complete()) {
        std::uint32_t count = 0;
        if (!client.ReadBody(handles.request, readBuffer.data(), kReadSize, count) || count == 0) {
            return 0;
        }
        readBuffer.data()[count] = '\0';
        text.Append(readBuffer.data(), count);
        if (!watch.Moving(count, Clock::now())) return 0;
    }
    return 0;
}

}  // namespace pushnote
