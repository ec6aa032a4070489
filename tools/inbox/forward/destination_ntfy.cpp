// ntfy: a text note is published as the body; a note with an image is an
// attachment upload with the text in the Message header.
#include <algorithm>

#include "destination_kinds.h"
#include "http_send.h"
#include "text_encoding.h"

namespace pushnote::inbox {
namespace {

// ntfy keeps a message of at most this many bytes as a message.
constexpr std::size_t kMaxMessageBytes = 4096;
constexpr std::size_t kMaxTopicLength = 64;

bool IsTopic(std::string_view topic) {
    return !topic.empty() && topic.size() <= kMaxTopicLength &&
           std::all_of(topic.begin(), topic.end(), [](char c) {
               return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-';
           });
}

// Plain when it is printable ASCII that cannot be taken for an encoded-word.
std::string HeaderValue(std::string_view text) {
    const bool plain =
        text.find("=?") == std::string_view::npos &&
        std::all_of(text.begin(), text.end(), [](char c) {
            return static_cast<unsigned char>(c) >= 0x20 && static_cast<unsigned char>(c) < 0x7F;
        });
    return plain ? std::string(text) : EncodedWords(text);
}

class NtfyDestination : public Destination {
public:
    NtfyDestination(std::string url, std::string display, UrlParts parts)
        : url_(std::move(url)), display_(std::move(display)), parts_(std::move(parts)) {}

    SendResult Send(const OutgoingNote& note, const SendSettings& settings) const override {
        HttpRequest request;
        request.url = url_;
        if (parts_.hasPassword) {
            request.user = parts_.user;
            request.password = parts_.password;
        } else {
            request.bearer = parts_.user;
        }
        request.secrets = {parts_.path, LastSegment(parts_.path)};
        request.headers.push_back("X-PushNote-Delivery: " + std::string(note.deliveryId));
        if (!note.link.empty()) request.headers.push_back("Click: " + std::string(note.link));
        if (note.image.empty()) {
            request.body = note.message;
        } else {
            request.method = "PUT";
            request.body = note.image;
            request.headers.push_back("Filename: " + ImageFileName(note.id, note.imageType));
            request.headers.push_back("Message: " +
                                      HeaderValue(CutAtCharacter(note.message, kMaxMessageBytes)));
        }
        return SendHttp(request, settings);
    }
    const std::string& DisplayUrl() const override { return display_; }

private:
    std::string url_;
    std::string display_;
    UrlParts parts_;
};

}  // namespace

DestinationParse MakeNtfyDestination(std::string_view, const UrlParts& parts) {
    const bool tls = parts.scheme == "ntfys";
    if (!parts.query.empty()) return {nullptr, "ntfy destination: no options are taken after '?'"};
    if (parts.path.size() < 2 || !IsTopic(std::string_view(parts.path).substr(1))) {
        return {nullptr,
                "ntfy destination: the path must be one topic of letters, digits, _ and -"};
    }
    if (parts.hasUser && parts.user.empty()) {
        return {nullptr, "ntfy destination: the token before '@' is empty"};
    }
    const std::string hostPort = HostAndPort(parts);
    std::string url = tls ? "https://" : "http://";
    url += hostPort;
    url += parts.path;
    std::string display = parts.scheme + "://";
    if (parts.hasUser) display += parts.hasPassword ? parts.rawUser + ":***@" : "***@";
    display += hostPort;
    // The topic is a secret too: on a public server whoever knows it reads it.
    display += "/***";
    return {std::make_unique<NtfyDestination>(std::move(url), std::move(display), parts), {}};
}

}  // namespace pushnote::inbox
