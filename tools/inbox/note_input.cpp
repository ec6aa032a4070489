#include "note_input.h"

#include "text_encoding.h"

namespace pushnote::inbox {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Decodes one form field; nothing when an escape is not '%' and two hex digits.
std::optional<std::string> DecodeField(std::string_view field, std::string& error) {
    std::string decoded;
    decoded.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '+') {
            decoded += ' ';
        } else if (field[i] != '%') {
            decoded += field[i];
        } else if (i + 2 < field.size() && HexValue(field[i + 1]) >= 0 &&
                   HexValue(field[i + 2]) >= 0) {
            decoded += static_cast<char>(HexValue(field[i + 1]) * 16 + HexValue(field[i + 2]));
            i += 2;
        } else {
            error =
                "malformed form body: '%' not followed by two hex digits (escape a literal % "
                "as %25)";
            return std::nullopt;
        }
    }
    return decoded;
}

// Length of the valid UTF-8 sequence at the start of bytes, or 0.
std::size_t ValidSequence(std::string_view bytes) {
    const auto byte = [&bytes](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // above U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length || byte(1) < low || byte(1) > high) return 0;
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

}  // namespace

FormMessage ParseFormMessage(std::string_view body) {
    FormMessage result;
    while (!body.empty()) {
        const std::size_t end = body.find('&');
        const std::string_view pair = body.substr(0, end);
        body = end == std::string_view::npos ? std::string_view{} : body.substr(end + 1);
        const std::size_t equals = pair.find('=');
        const std::string_view name = pair.substr(0, equals);
        if (name != "message") {
            result.error = "malformed form body: unexpected field \"" +
                           std::string(name.substr(0, 40)) + "\" (only message= is accepted)";
            return result;
        }
        if (result.message) {
            result.error = "malformed form body: message= given more than once";
            return result;
        }
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1);
        result.message = DecodeField(value, result.error);
        if (!result.message) return result;
    }
    if (!result.message) result.error = "missing message: the body has no message= field";
    return result;
}

RepairedText RepairUtf8(std::string_view bytes) {
    RepairedText result;
    result.text.reserve(bytes.size());
    while (!bytes.empty()) {
        const std::size_t length = ValidSequence(bytes);
        if (length == 0) {
            result.text += "\xEF\xBF\xBD";
            result.repaired = true;
            bytes.remove_prefix(1);
        } else {
            result.text.append(bytes.substr(0, length));
            bytes.remove_prefix(length);
        }
    }
    return result;
}

std::string TokenFingerprint(std::string_view token) {
    return Sha256Hex(token).substr(0, 8);
}

}  // namespace pushnote::inbox
