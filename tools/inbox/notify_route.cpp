#include "notify_route.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <thread>

#include "client_address.h"
#include "client_socket.h"
#include "connection.h"
#include "image_info.h"
#include "log.h"
#include "multipart.h"
#include "note_input.h"
#include "note_json.h"
#include "request_body.h"
#include "text_encoding.h"

namespace pushnote::inbox {
namespace {

using httplib::ContentReader;
using httplib::DataSink;
using httplib::Request;
using httplib::Response;
using namespace std::chrono_literals;

constexpr auto kTrickleGap = 100ms;
// Room around the message in a form body, and around the message and the
// image in a multipart body, for field names, boundaries and part heads.
constexpr std::uint64_t kFormSlack = 1024;
constexpr std::uint64_t kMultipartSlack = 64 * 1024;
constexpr std::string_view kBearer = "Bearer ";

// A refusal: its status and a one-line reason.
struct Refusal {
    int status = 400;
    std::string reason;
};

// Who sent a note: the bearer token and, for a named one, its name.
struct Sender {
    std::string token;
    std::optional<std::string> name;
};

void AnswerJson(Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(Dump({{"status", status}, {"message", message}}), "application/json");
}

std::string MediaType(const std::string& contentType) {
    std::string type = contentType.substr(0, contentType.find(';'));
    type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
    std::transform(type.begin(), type.end(), type.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return type;
}

// The message and image of a multipart body, checked.
std::optional<Refusal> ReadMultipart(const Request& request, const std::string& body,
                                     std::uint64_t maxImageBytes, std::string& message,
                                     std::optional<std::string>& image) {
    const request_reading::MultipartBody parsed =
        request_reading::ParseMultipart(request.get_header_value("Content-Type"), body);
    if (!parsed.error.empty()) return Refusal{400, "malformed multipart body: " + parsed.error};
    bool haveMessage = false, haveImage = false;
    for (const request_reading::Part& part : parsed.parts) {
        bool& seen = part.name == "message" ? haveMessage : haveImage;
        if (part.name != "message" && part.name != "imageFile") {
            return Refusal{400, "malformed multipart body: unexpected part \"" +
                                    part.name.substr(0, 40) +
                                    "\" (only message and imageFile are accepted)"};
        }
        if (seen)
            return Refusal{
                400, "malformed multipart body: part \"" + part.name + "\" given more than once"};
        seen = true;
        if (part.name == "message") {
            message = part.content;
        } else {
            image = part.content;
        }
    }
    if (!haveMessage) return Refusal{400, "missing message: the body has no message part"};
    if (image && image->size() > maxImageBytes) {
        return Refusal{413, "image of " + std::to_string(image->size()) +
                                " bytes is larger than the limit of " +
                                std::to_string(maxImageBytes) + " bytes"};
    }
    return std::nullopt;
}

std::optional<Refusal> CheckToken(const Request& request, const Inbox& inbox, Sender& sender) {
    const std::string authorization = request.get_header_value("Authorization");
    if (!authorization.starts_with(kBearer)) {
        return Refusal{401, "Missing access token"};
    }
    sender.token = authorization.substr(kBearer.size());
    if (inbox.namedTokens) sender.name = inbox.namedTokens->NameOf(sender.token);
    // Compared by digest: no early exit tells how much of a guess was right.
    if (sender.name || inbox.tokenDigests.contains(Sha256Hex(sender.token))) return std::nullopt;
    // Without tokens of either kind, any token from this machine is taken, for development.
    const bool anyToken = inbox.tokenDigests.empty() &&
                          (!inbox.namedTokens || inbox.namedTokens->Empty()) &&
                          IsLocalRequest(request, inbox.trustedProxy);
    if (!anyToken) return Refusal{401, "Invalid access token"};
    return std::nullopt;
}

// Sends the body a byte at a time, with a pause before each.
void Trickle(Response& response, std::string body) {
    const std::size_t size = body.size();
    response.set_content_provider(
        size, "application/json",
        [body = std::move(body)](std::size_t offset, std::size_t, DataSink& sink) {
            std::this_thread::sleep_for(kTrickleGap);
            return sink.write(body.data() + offset, 1);
        });
}

// The most a body of this type may take: the message percent-encoded, or
// the message and the largest image with their multipart framing.
std::uint64_t BodyLimit(const std::string& type, std::uint64_t maxImageBytes) {
    if (type == "application/x-www-form-urlencoded") return 3 * kMaxMessageBytes + kFormSlack;
    return maxImageBytes + kMaxMessageBytes + kMultipartSlack;
}

// Everything the head alone can refuse, before a byte of the body is read.
std::optional<Refusal> CheckHead(const Request& request, const Inbox& inbox,
                                 const std::string& type, Sender& sender) {
    const bool chunked = request_reading::IsChunked(request);
    if (!request.has_header("Content-Length") && !chunked) {
        return Refusal{400, "missing Content-Length"};
    }
    if (auto refusal = CheckToken(request, inbox, sender)) return refusal;
    if (type != "application/x-www-form-urlencoded" && type != "multipart/form-data") {
        return Refusal{400,
                       "unsupported content type \"" + type.substr(0, 60) +
                           "\": send application/x-www-form-urlencoded or multipart/form-data"};
    }
    if (chunked) return std::nullopt;
    const std::string declared = request.get_header_value("Content-Length");
    std::uint64_t length = 0;
    const auto [end, error] =
        std::from_chars(declared.data(), declared.data() + declared.size(), length);
    if (end != declared.data() + declared.size() || declared.empty() ||
        (error != std::errc{} && error != std::errc::result_out_of_range)) {
        return Refusal{400, "Content-Length is no number"};
    }
    const std::uint64_t limit = BodyLimit(type, inbox.maxImageBytes);
    if (error == std::errc::result_out_of_range || length > limit) {
        return Refusal{413, "the body of " + declared.substr(0, 20) +
                                " bytes is larger than the limit of " + std::to_string(limit) +
                                " bytes"};
    }
    return std::nullopt;
}

void Notify(Inbox& inbox, const Request& request, Response& response, const ContentReader& reader) {
    const std::string type = MediaType(request.get_header_value("Content-Type"));
    Sender sender;
    if (auto refusal = CheckHead(request, inbox, type, sender)) {
        // The body stays unread: the connection cannot carry another request.
        CloseAfterAnswer(response);
        return AnswerJson(response, refusal->status, refusal->reason);
    }
    if (inbox.noteLimit) {
        const std::string key =
            sender.name ? "name:" + *sender.name : "token:" + TokenFingerprint(sender.token);
        if (const auto wait =
                inbox.noteLimit->Take(key, sender.name, NoteRateLimit::Clock::now())) {
            CloseAfterAnswer(response);
            response.set_header("Retry-After",
                                std::to_string(std::max<long long>(1, wait->count())));
            return AnswerJson(response, 429,
                              "too many notes: at most " +
                                  std::to_string(inbox.noteLimit->PerMinute(sender.name)) +
                                  " a minute for this token");
        }
    }
    const std::uint64_t limit = BodyLimit(type, inbox.maxImageBytes);
    const request_reading::BoundedBody body = request_reading::ReadBodyUpTo(request, reader, limit);
    if (body.tooLong) {
        CloseAfterAnswer(response);
        return AnswerJson(
            response, 413,
            "the body is larger than the limit of " + std::to_string(limit) + " bytes");
    }
    if (!body.complete) {
        CloseAfterAnswer(response);
        return AnswerJson(response, 400, "wrong Content-Length: the body is shorter than it says");
    }

    std::string message;
    std::optional<std::string> imageBytes;
    if (type == "application/x-www-form-urlencoded") {
        FormMessage form = ParseFormMessage(body.bytes);
        if (!form.error.empty()) return AnswerJson(response, 400, form.error);
        message = std::move(*form.message);
    } else if (auto refusal =
                   ReadMultipart(request, body.bytes, inbox.maxImageBytes, message, imageBytes)) {
        return AnswerJson(response, refusal->status, refusal->reason);
    }
    if (message.size() > kMaxMessageBytes) {
        return AnswerJson(response, 413,
                          "message of " + std::to_string(message.size()) +
                              " bytes is larger than the limit of " +
                              std::to_string(kMaxMessageBytes) + " bytes");
    }

    Note note;
    if (imageBytes) {
        const std::optional<ImageInfo> info = InspectImage(*imageBytes);
        if (!info) return AnswerJson(response, 400, "imageFile is neither a JPEG nor a PNG image");
        note.image = ImageSummary{info->type, info->width, info->height,
                                  static_cast<std::int64_t>(imageBytes->size())};
    }
    RepairedText text = RepairUtf8(message);
    note.message = std::move(text.text);
    note.messageRepaired = text.repaired;
    note.receivedMs = NowMs();
    note.tokenFingerprint = TokenFingerprint(sender.token);
    note.tokenName = sender.name;
    note.userAgent = request.get_header_value("User-Agent");
    note.contentType = type;

    const ChaosDecision decision = inbox.chaos.Decide(Chaos::Clock::now());
    const std::string answerBody =
        decision.silent
            ? std::string()
            : Dump({{"status", decision.status},
                    {"message", decision.reason.empty() ? "ok" : "chaos: " + decision.reason}});
    note.answer = Answer{decision.status, answerBody, decision.reason};
    // Only a note the host was told it delivered goes on: after any other
    // answer the host sends it again.
    const bool accepted = !decision.silent && decision.status >= 200 && decision.status <= 299;
    try {
        note.id = inbox.store.Add(note, imageBytes.value_or(std::string()),
                                  accepted && inbox.routes ? inbox.routes->TargetsFor(sender.name)
                                                           : std::vector<DeliveryTarget>(),
                                  &note.deliveries);
    } catch (const sqlite::Error& e) {
        return AnswerJson(response, 500, std::string("cannot store the note: ") + e.what());
    }
    inbox.events.Publish("event: note\ndata: " + Dump(ToJson(note)) + "\n\n");
    Log(LogLevel::Info, "note " + std::to_string(note.id) + " token " + note.tokenFingerprint +
                            (note.tokenName ? " (" + *note.tokenName + ")" : "") + " " +
                            MessageExcerpt(note.message) +
                            (note.image ? " with " + note.image->type + " of " +
                                              std::to_string(note.image->size) + " bytes"
                                        : "") +
                            " answered " + std::to_string(decision.status));
    if (inbox.deliveries && !note.deliveries.empty()) inbox.deliveries->Add(note.deliveries);

    std::this_thread::sleep_for(std::chrono::milliseconds(decision.delayMs));
    if (decision.silent) return HoldWithoutAnswer();
    response.status = decision.status;
    if (decision.retryAfterSeconds > 0) {
        response.set_header("Retry-After", std::to_string(decision.retryAfterSeconds));
    }
    if (decision.trickle) {
        Trickle(response, answerBody);
    } else {
        response.set_content(answerBody, "application/json");
    }
}

}  // namespace

std::uint64_t LargestNoteBody(std::uint64_t maxImageBytes) {
    return std::max(BodyLimit("application/x-www-form-urlencoded", maxImageBytes),
                    BodyLimit("multipart/form-data", maxImageBytes));
}

void InstallNotifyRoute(httplib::Server& server, Inbox& inbox) {
    server.Post("/api/notify",
                [&inbox](const Request& request, Response& response, const ContentReader& reader) {
                    Notify(inbox, request, response, reader);
                });
}

}  // namespace pushnote::inbox
