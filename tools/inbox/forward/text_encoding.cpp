#include "text_encoding.h"

#include <openssl/evp.h>

#include <array>

#include <cstdio>
#include <ctime>

namespace pushnote::inbox {
namespace {

// A B encoded-word holds at most 75 characters, 12 of them its frame: 45
// bytes of text become 60 of base64.
constexpr std::size_t kEncodedWordBytes = 45;

}  // namespace

std::size_t Utf8SequenceLength(std::string_view text, std::size_t at) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    unsigned char lead = byte(at);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned min = 0;
    unsigned codepoint = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, codepoint = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, codepoint = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, codepoint = lead & 0x07;
    } else {
        return 0;
    }
    if (at + length > text.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) return 0;
        codepoint = (codepoint << 6) | (byte(at + i) & 0x3F);
    }
    if (codepoint < min || codepoint > 0x10FFFF || (codepoint >= 0xD800 && codepoint <= 0xDFFF)) {
        return 0;
    }
    return length;
}

std::string Base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                  reinterpret_cast<const unsigned char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
    out.resize(static_cast<std::size_t>(written));
    return out;
}

std::string Hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

std::string Sha256Hex(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
    return Hex({reinterpret_cast<const char*>(digest.data()), length});
}

std::string EncodedWords(std::string_view utf8) {
    std::string out;
    std::size_t at = 0;
    while (at < utf8.size()) {
        std::size_t end = at;
        while (end < utf8.size()) {
            std::size_t length = Utf8SequenceLength(utf8, end);
            if (length == 0) length = 1;  // a stray byte goes as it is
            if (end + length - at > kEncodedWordBytes) break;
            end += length;
        }
        if (!out.empty()) out += ' ';
        out += "=?UTF-8?B?" + Base64(utf8.substr(at, end - at)) + "?=";
        at = end;
    }
    return out;
}

std::string_view CutAtCharacter(std::string_view utf8, std::size_t maxBytes) {
    if (utf8.size() <= maxBytes) return utf8;
    std::size_t end = maxBytes;
    // Back off continuation bytes to the start of the character they belong to.
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
    return utf8.substr(0, end);
}

std::string IsoTime(std::int64_t msSinceEpoch) {
    const std::time_t seconds = static_cast<std::time_t>(msSinceEpoch / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + length, sizeof text - length, ".%03dZ",
                  static_cast<int>(msSinceEpoch % 1000));
    return text;
}

}  // namespace pushnote::inbox
