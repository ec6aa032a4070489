#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace pushnote::inbox {

// The message of a form-encoded body ("message=..."), percent escapes and '+'
// decoded. Any other field, a repeated message or a broken escape is an error,
// described in one line.
struct FormMessage {
    std::optional<std::string> message;
    std::string error;  // empty when the body is good
};
FormMessage ParseFormMessage(std::string_view body);

// The text as valid UTF-8: each invalid byte becomes U+FFFD.
struct RepairedText {
    std::string text;
    bool repaired = false;
};
RepairedText RepairUtf8(std::string_view bytes);

// First 8 hex digits of the token's SHA-256: enough to tell tokens apart,
// never enough to use one.
std::string TokenFingerprint(std::string_view token);

}  // namespace pushnote::inbox
