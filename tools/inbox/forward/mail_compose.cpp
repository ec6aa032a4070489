#include "mail_compose.h"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <ctime>

#include "text_encoding.h"

namespace pushnote::inbox {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
constexpr std::size_t kBase64LineLength = 76;
// A B encoded-word holds at most 75 characters, 12 of them its frame.
constexpr std::size_t kEncodedWordLength = 75;
constexpr std::size_t kEncodedWordFrame = 12;
constexpr std::size_t kHeaderLineLength = 78;

std::string Base64Lines(std::string_view bytes) {
    std::string encoded = Base64(bytes);
    std::string out;
    out.reserve(encoded.size() + encoded.size() / kBase64LineLength * 2 + 2);
    for (std::size_t at = 0; at < encoded.size(); at += kBase64LineLength) {
        out.append(encoded, at, kBase64LineLength);
        out += "\r\n";
    }
    return out;
}

std::string DateHeaderValue(std::int64_t receivedMs) {
    static constexpr std::array<const char*, 7> kDays = {"Sun", "Mon", "Tue", "Wed",
                                                         "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::time_t seconds = static_cast<std::time_t>(receivedMs / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d +0000", kDays[utc.tm_wday],
                  utc.tm_mday, kMonths[utc.tm_mon], utc.tm_year + 1900, utc.tm_hour, utc.tm_min,
                  utc.tm_sec);
    return text;
}

// Only what is safe inside a quoted parameter and on every file system.
std::string CleanFileName(std::string_view name, std::string_view type) {
    if (auto slash = name.find_last_of("/\\"); slash != std::string_view::npos) {
        name.remove_prefix(slash + 1);
    }
    std::string out;
    for (char c : name.substr(0, 100)) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '.' || c == '-' || c == '_';
        out += plain ? c : '_';
    }
    if (out.empty() || out.front() == '.') {
        out = type == "image/png" ? "image.png" : "image.jpg";
    }
    return out;
}

std::string_view CleanImageType(std::string_view type) {
    if (type == "image/jpeg" || type == "image/png" || type == "image/gif") return type;
    return "application/octet-stream";
}

}  // namespace

std::string SubjectFromMessage(std::string_view message) {
    std::string subject;
    std::size_t characters = 0;
    bool cut = false;
    for (std::size_t at = 0; at < message.size();) {
        char c = message[at];
        if (c == '\r' || c == '\n') break;
        if (characters == kSubjectMaxCharacters) {
            cut = true;
            break;
        }
        std::size_t length = Utf8SequenceLength(message, at);
        if (length == 0) {
            subject += kReplacement;
            at += 1;
        } else if (length == 1) {
            auto byte = static_cast<unsigned char>(c);
            subject += (byte < 0x20 || byte == 0x7F) ? ' ' : c;
            at += 1;
        } else {
            subject.append(message.substr(at, length));
            at += length;
        }
        ++characters;
    }
    while (!subject.empty() && subject.back() == ' ') subject.pop_back();
    std::size_t lead = subject.find_first_not_of(' ');
    subject.erase(0, lead == std::string::npos ? subject.size() : lead);
    if (cut) subject += "\xE2\x80\xA6";
    return subject;
}

std::string SubjectHeader(std::string_view subject) {
    bool plain = subject.find("=?") == std::string_view::npos;
    for (char c : subject) {
        auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) plain = false;
    }
    std::string header = "Subject:";
    std::size_t lineLength = header.size();
    if (plain) {
        // Fold before a word that would pass the line length.
        std::size_t at = 0;
        while (at < subject.size()) {
            std::size_t next = subject.find(' ', at + 1);
            if (next == std::string_view::npos) next = subject.size();
            std::string_view word = subject.substr(at, next - at);
            if (word.front() != ' ') {
                header += ' ';
                ++lineLength;
            } else if (lineLength + word.size() > kHeaderLineLength && word.size() > 1) {
                header += "\r\n";
                lineLength = 0;
            }
            header += word;
            lineLength += word.size();
            at = next;
        }
        if (subject.empty()) header += ' ';
        return header + "\r\n";
    }
    std::size_t at = 0;
    bool first = true;
    while (at < subject.size()) {
        // The words fit their line: after "Subject: " on the first, after one space later.
        std::size_t room =
            std::min(kEncodedWordLength, kHeaderLineLength - (first ? header.size() + 1 : 1));
        std::size_t wordBytes = (room - kEncodedWordFrame) / 4 * 3;
        std::size_t end = at;
        while (end < subject.size()) {
            std::size_t length = Utf8SequenceLength(subject, end);
            if (length == 0) length = 1;  // SubjectFromMessage leaves none
            if (end + length - at > wordBytes) break;
            end += length;
        }
        header += first ? " " : "\r\n ";
        header += "=?UTF-8?B?" + Base64(subject.substr(at, end - at)) + "?=";
        first = false;
        at = end;
    }
    return header + "\r\n";
}

std::string ComposeMail(const MailNote& note, const MailDestination& destination) {
    std::string destinationHash = Sha256Hex(destination.displayUrl).substr(0, 16);
    std::string boundary = "=_pushnote_" + std::to_string(note.id) + "_" + destinationHash;

    std::string mail;
    mail += "From: <" + destination.from + ">\r\n";
    mail += "To: ";
    for (std::size_t i = 0; i < destination.to.size(); ++i) {
        mail += (i ? ",\r\n <" : "<") + destination.to[i] + ">";
    }
    mail += "\r\n";
    mail += SubjectHeader(SubjectFromMessage(note.message));
    mail += "Date: " + DateHeaderValue(note.receivedMs) + "\r\n";
    mail += "Message-ID: <note-" + std::to_string(note.id) + "." + destinationHash +
            "@pushnote-inbox>\r\n";
    mail += "MIME-Version: 1.0\r\n";
    mail += "Auto-Submitted: auto-generated\r\n";

    std::string textPart =
        "Content-Type: text/plain; charset=UTF-8\r\n"
        "Content-Transfer-Encoding: base64\r\n\r\n" +
        Base64Lines(note.link.empty()
                        ? std::string(note.message)
                        : std::string(note.message) + "\n\n" + std::string(note.link));
    if (note.image.empty()) return mail + textPart;

    std::string_view type = CleanImageType(note.imageType);
    std::string name = CleanFileName(note.imageName, type);
    mail += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    mail += "--" + boundary + "\r\n" + textPart;
    mail += "--" + boundary + "\r\n";
    mail += "Content-Type: " + std::string(type) + "; name=\"" + name + "\"\r\n";
    mail += "Content-Disposition: attachment; filename=\"" + name + "\"\r\n";
    mail += "Content-Transfer-Encoding: base64\r\n\r\n";
    mail += Base64Lines(note.image);
    mail += "--" + boundary + "--\r\n";
    return mail;
}

}  // namespace pushnote::inbox
