// JSON webhooks: the note in one of a few bodies that receivers know.
#include <nlohmann/json.hpp>

#include "destination_kinds.h"
#include "http_send.h"
#include "text_encoding.h"

namespace pushnote::inbox {
namespace {

enum class Template { PushNote, Slack, Discord };

// Discord refuses a longer content.
constexpr std::size_t kDiscordContentCharacters = 2000;

std::string Dump(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

// At most `characters` characters of UTF-8.
std::string_view FirstCharacters(std::string_view text, std::size_t characters) {
    std::size_t at = 0;
    for (std::size_t count = 0; at < text.size() && count < characters; ++count) {
        at += std::max<std::size_t>(1, Utf8SequenceLength(text, at));
    }
    return text.substr(0, std::min(at, text.size()));
}

class JsonDestination : public Destination {
public:
    JsonDestination(std::string url, std::string display, Template shape, UrlParts parts)
        : url_(std::move(url)),
          display_(std::move(display)),
          template_(shape),
          parts_(std::move(parts)) {}

    SendResult Send(const OutgoingNote& note, const SendSettings& settings) const override {
        HttpRequest request;
        request.url = url_;
        request.user = parts_.user;
        request.password = parts_.password;
        request.secrets = {parts_.path, LastSegment(parts_.path)};
        for (const auto& [key, value] : parts_.query) request.secrets.push_back(value);
        // A user without a password is most often the receiver's key.
        if (!parts_.hasPassword) request.secrets.push_back(parts_.user);
        request.headers.push_back("X-PushNote-Delivery: " + std::string(note.deliveryId));
        std::string body;
        std::string name;
        // Chat messages carry the link in their text.
        const std::string chatText =
            note.link.empty() ? std::string(note.message)
                              : std::string(note.message) + "\n" + std::string(note.link);
        if (template_ == Template::Discord) {
            body = Dump({{"content", FirstCharacters(chatText, kDiscordContentCharacters)}});
            if (!note.image.empty()) {
                name = ImageFileName(note.id, note.imageType);
                request.form = {{"payload_json", body, {}, "application/json"},
                                {"files[0]", note.image, name, std::string(note.imageType)}};
            }
        } else if (template_ == Template::Slack) {
            body = Dump({{"text", chatText}});
        } else {
            nlohmann::ordered_json image = nullptr;
            if (!note.image.empty()) {
                image = {{"type", note.imageType},
                         {"width", note.imageWidth},
                         {"height", note.imageHeight},
                         {"bytes", note.image.size()}};
            }
            nlohmann::ordered_json document{{"message", note.message},
                                            {"received", IsoTime(note.receivedMs)},
                                            {"token_fingerprint", note.tokenFingerprint},
                                            {"image", image}};
            if (!note.link.empty()) document["url"] = note.link;
            body = Dump(document);
        }
        if (request.form.empty()) {
            request.headers.emplace_back("Content-Type: application/json");
            request.body = body;
        }
        return SendHttp(request, settings);
    }
    const std::string& DisplayUrl() const override { return display_; }

private:
    std::string url_;
    std::string display_;
    Template template_;
    UrlParts parts_;
};

}  // namespace

DestinationParse MakeJsonDestination(std::string_view, const UrlParts& given) {
    UrlParts parts = given;
    Template shape = Template::PushNote;
    std::string shownQuery;
    std::string passedQuery;
    std::vector<std::pair<std::string, std::string>> passed;
    for (const auto& [key, value] : given.query) {
        if (key != "template") {
            passed.emplace_back(key, value);
            if (!passedQuery.empty()) passedQuery += '&';
            passedQuery += PercentEncode(key);
            passedQuery += '=';
            passedQuery += PercentEncode(value);
            continue;
        }
        if (value == "slack") {
            shape = Template::Slack;
        } else if (value == "discord") {
            shape = Template::Discord;
        } else if (value != "pushnote") {
            return {nullptr, "json destination: template must be pushnote, slack or discord"};
        }
        shownQuery = "template=" + value;
    }
    // Other options go to the receiver as they came; they may hold its key.
    for (const auto& pair : passed) {
        if (!shownQuery.empty()) shownQuery += '&';
        shownQuery += pair.first;
        shownQuery += "=***";
    }
    parts.query = std::move(passed);
    const bool tls = parts.scheme != "json";
    const std::string hostPort = HostAndPort(parts);
    const std::string path = parts.path.empty() ? "/" : parts.path;
    std::string url = tls ? "https://" : "http://";
    url += hostPort;
    url += path;
    if (!passedQuery.empty()) url += '?' + passedQuery;
    std::string display = parts.scheme + "://";
    if (parts.hasUser) display += parts.hasPassword ? parts.rawUser + ":***@" : "***@";
    display += hostPort;
    // A webhook's secret is most often its last path segment, with or without a '/' after it.
    const std::string secret = LastSegment(path);
    const std::size_t at = path.rfind(secret);
    display += secret.empty() ? path : path.substr(0, at) + "***" + path.substr(at + secret.size());
    if (!shownQuery.empty()) display += '?' + shownQuery;
    return {std::make_unique<JsonDestination>(std::move(url), std::move(display), shape,
                                              std::move(parts)),
            {}};
}

}  // namespace pushnote::inbox
