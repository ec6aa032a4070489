#include "notify/message_part.h"

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "notify/multipart_format.h"
#include "text/convert_to_utf8.h"
#include "text/wide_to_utf8.h"

namespace pushnote {
namespace {

constexpr std::size_t kScratchSize = 4096;
constexpr const char* kMessageDisposition =
    "Content-Disposition: form-data; name=\"message\"\r\n\r\n";

std::size_t PrefixLength(const char* delimiter) {
    return std::strlen(delimiter) + std::strlen(multipart::kLineBreak) +
           std::strlen(kMessageDisposition);
}

// Whether the scratch text holds a message of this many units after the
// prefix, with the closing line break and a terminator.
bool FitsScratch(std::size_t messageLength, const char* delimiter) {
    const std::size_t reserved = PrefixLength(delimiter) + std::strlen(multipart::kLineBreak) + 1;
    return reserved <= kScratchSize && messageLength <= kScratchSize - reserved;
}

}  // namespace

Buffer BuildMessagePart(const char* message, const char* delimiter, std::size_t& length,
                        ResultCode& error) noexcept {
    length = 0;
    error = 0;
    Buffer scratch = Buffer::Obtain(kScratchSize);
    if (!scratch) {
        error = -30;
        return {};
    }
    if (!FitsScratch(std::strlen(message), delimiter)) {
        error = -20;
        return {};
    }
    char* text = scratch.data();
    std::strcpy(text, delimiter);
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, kMessageDisposition);
    std::strcat(text, message);
    std::strcat(text, multipart::kLineBreak);

    // The part is sized from its UTF-8 measure: a message within its ANSI
    // limit may grow past 4096 bytes once converted.
    try {
        std::int32_t measured = 0;
        ConvertToUtf8(text, nullptr, measured);
        Buffer part = Buffer::ObtainZeroed(static_cast<std::size_t>(measured));
        if (!part) Raise(-30);
        std::int32_t converted = 0;
        ConvertToUtf8(text, part.data(), converted);
        length = static_cast<std::size_t>(converted);
        return part;
    } catch (const Failure& failure) {
        // ConvertToUtf8 raises when its scratch memory is short.
        error = failure.code;
        return {};
    }
}

Buffer BuildMessagePart(const wchar_t* message, const char* delimiter, std::size_t& length,
                        ResultCode& error) noexcept {
    length = 0;
    error = 0;
    const std::size_t prefixLength = PrefixLength(delimiter);
    // The ANSI limit, counted in wchar_t units; the UTF-8 part has no cap.
    if (!FitsScratch(std::wcslen(message), delimiter)) {
        error = -20;
        return {};
    }
    std::int32_t measured = 0;
    ConvertToUtf8(message, nullptr, measured);
    const std::size_t messageLength = static_cast<std::size_t>(measured) - 1;
    const std::size_t partLength =
        prefixLength + messageLength + std::strlen(multipart::kLineBreak);
    Buffer part = Buffer::ObtainZeroed(partLength + 1);
    if (!part) {
        error = -30;
        return {};
    }
    char* text = part.data();
    std::strcpy(text, delimiter);
    std::strcat(text, multipart::kLineBreak);
    std::strcat(text, kMessageDisposition);
    std::int32_t converted = 0;
    ConvertToUtf8(message, text + prefixLength, converted);
    std::memcpy(text + prefixLength + messageLength, multipart::kLineBreak,
                std::strlen(multipart::kLineBreak));
    length = partLength;
    return part;
}

}  // namespace pushnote
