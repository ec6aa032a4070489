// PushNote for C++ hosts (C++17 or later): a header-only layer over pushnote.h.
//
// A result is a std::error_code of pushnote::result_category(): it converts to
// false on success, and message() gives the result code in words. Notes are
// best sent as wide text (std::wstring: UTF-16 on Windows, UTF-32 on Linux),
// which goes through PushNoteW and PushNoteWithImageW and arrives with every
// character, whatever the code page. std::string arguments are in the system
// ANSI code page, as for the C functions of ordinals 1 to 4.
#ifndef PUSHNOTE_HPP
#define PUSHNOTE_HPP

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>

#include "pushnote.h"
#include "pushnote_result_texts.h"

namespace pushnote {

enum class result : std::int32_t {
    ok = PUSHNOTE_OK,
    session_failed = PUSHNOTE_ERROR_SESSION,
    connect_failed = PUSHNOTE_ERROR_CONNECT,
    request_failed = PUSHNOTE_ERROR_REQUEST,
    send_failed = PUSHNOTE_ERROR_SEND,
    status_unreadable = PUSHNOTE_ERROR_STATUS_READ,
    status_not_200 = PUSHNOTE_ERROR_STATUS,
    response_unreadable = PUSHNOTE_ERROR_RESPONSE_READ,
    no_token = PUSHNOTE_ERROR_NO_TOKEN,
    too_long = PUSHNOTE_ERROR_TOO_LONG,
    no_memory = PUSHNOTE_ERROR_NO_MEMORY,
    image_too_large = PUSHNOTE_ERROR_IMAGE_TOO_LARGE,
    image_unreadable = PUSHNOTE_ERROR_IMAGE_FILE,
    image_type_refused = PUSHNOTE_ERROR_IMAGE_TYPE,
};

namespace detail {

class result_category_type final : public std::error_category {
public:
    const char* name() const noexcept override { return "pushnote"; }
    std::string message(int code) const override { return PushNoteResultText(code); }
};

}  // namespace detail

inline const std::error_category& result_category() noexcept {
    static const detail::result_category_type category;
    return category;
}

inline std::error_code make_error_code(result code) noexcept {
    return {static_cast<int>(code), result_category()};
}

}  // namespace pushnote

namespace std {
template <>
struct is_error_code_enum<pushnote::result> : true_type {};
}  // namespace std

namespace pushnote {

// HttpReadFile's default text limit here; the C function takes any buffer.
inline constexpr std::size_t default_fetch_bytes = 65536;

// Stores the bearer token for the senders. False (and the previous token kept)
// when it is longer than 256 bytes or holds a control character.
inline bool set_token(const std::string& token) noexcept {
    return SetAccessToken(token.c_str()) != 0;
}

namespace detail {

template <typename Char>
std::basic_string<Char> escape_form_text(std::basic_string_view<Char> text) {
    constexpr char hex_digits[] = "0123456789ABCDEF";
    std::basic_string<Char> escaped;
    escaped.reserve(text.size());
    for (const Char unit : text) {
        if (unit != '%' && unit != '&' && unit != '+' && unit != '=') {
            escaped += unit;
        } else {
            const auto value = static_cast<unsigned char>(unit);
            escaped += static_cast<Char>('%');
            escaped += static_cast<Char>(hex_digits[value >> 4]);
            escaped += static_cast<Char>(hex_digits[value & 0x0F]);
        }
    }
    return escaped;
}

}  // namespace detail

// Percent-encodes "%", "&", "+" and "=", the characters that would change the
// meaning of a form body; every other character stays as it is.
inline std::string escape_form_text(std::string_view text) {
    return detail::escape_form_text(text);
}
inline std::wstring escape_form_text(std::wstring_view text) {
    return detail::escape_form_text(text);
}

// Sends a text notification that arrives exactly as given, every character
// of it (PushNoteW): unlike PushNote, the message is escaped first, so each
// "%", "&", "+" and "=" counts three units towards the 4087-unit limit.
inline std::error_code send(const std::wstring& message) {
    return result{PushNoteW(escape_form_text(message).c_str())};
}

// Sends the message with a JPEG, PNG or GIF image file, both in any
// characters (PushNoteWithImageW); no escaping needed.
inline std::error_code send(const std::wstring& message, const std::wstring& image_path) noexcept {
    return result{PushNoteWithImageW(message.c_str(), image_path.c_str())};
}

// The same for text in the ANSI code page (PushNote), for code that holds it.
inline std::error_code send(const std::string& message) {
    return result{PushNote(escape_form_text(message).c_str())};
}

// The same for text in the ANSI code page (PushNoteWithImage).
inline std::error_code send(const std::string& message, const std::string& image_path) noexcept {
    return result{PushNoteWithImage(message.c_str(), image_path.c_str())};
}

// The text at url, cut to max_bytes. A network failure gives the empty text
// and no error, as HttpReadFile does; error is set for a URL over 1023 bytes
// (too_long) and when memory cannot be obtained.
inline std::string fetch(const std::string& url, std::error_code& error,
                         std::size_t max_bytes = default_fetch_bytes) {
    using size_type = std::int32_t;
    if (max_bytes >= static_cast<std::size_t>(std::numeric_limits<size_type>::max())) {
        error = result::too_long;
        return {};
    }
    std::string text(max_bytes + 1, '\0');
    error = result{HttpReadFile(url.c_str(), text.data(), static_cast<size_type>(text.size()))};
    text.resize(error ? 0 : text.find('\0'));
    return text;
}

}  // namespace pushnote

#endif  // PUSHNOTE_HPP
