#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "mail_address.h"

namespace pushnote::inbox {

// What a mail carries of a note. The views must outlive the call.
struct MailNote {
    std::int64_t id = 0;
    std::int64_t receivedMs = 0;  // since the Unix epoch
    std::string_view message;     // any bytes; treated as UTF-8
    std::string_view image;       // empty when the note has none
    std::string_view imageType;   // "image/jpeg" or "image/png"
    std::string_view imageName;   // the sender's file name; cleaned before use
    std::string_view link;        // the note on the inbox's page; empty for none
};

// The message's first line, control characters turned into spaces, invalid
// UTF-8 replaced by U+FFFD, and cut at a character boundary to at most
// kSubjectMaxCharacters characters (an ellipsis marks a cut).
inline constexpr std::size_t kSubjectMaxCharacters = 70;
std::string SubjectFromMessage(std::string_view message);

// "Subject: ..." with CRLF: plain when printable ASCII, else RFC 2047 "B"
// encoded-words of whole characters, folded so that no line passes 78.
std::string SubjectHeader(std::string_view subject);

// The complete message (RFC 5322, MIME), CRLF line ends, ready for DATA.
// Its Message-ID depends only on the note and the destination, so that a
// retry sends the same one.
std::string ComposeMail(const MailNote& note, const MailDestination& destination);

}  // namespace pushnote::inbox
