#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pushnote::inbox {

// Length of the UTF-8 sequence at text[at], or 0 when it is not valid.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);

std::string Base64(std::string_view bytes);
// Lower-case hex digits, two for each byte.
std::string Hex(std::string_view bytes);
// The SHA-256 digest of the bytes, in hex.
std::string Sha256Hex(std::string_view bytes);

// The text as RFC 2047 "B" encoded-words of whole characters, joined by
// spaces: a header value that carries any UTF-8, line ends included.
std::string EncodedWords(std::string_view utf8);

// At most maxBytes of the text, cut before a character, not inside one.
std::string_view CutAtCharacter(std::string_view utf8, std::size_t maxBytes);

// "2026-01-31T12:34:56.789Z"
std::string IsoTime(std::int64_t msSinceEpoch);

}  // namespace pushnote::inbox
