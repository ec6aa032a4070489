#include "api_routes.h"

#include <charconv>
#include <optional>

#include "delivery_ledger.h"
#include "event_stream.h"
#include "json_answer.h"
#include "login_routes.h"
#include "note_json.h"
#include "page_routes.h"
#include "request_guards.h"

namespace pushnote::inbox {
namespace {

using httplib::Request;
using httplib::Response;

constexpr int kDefaultLimit = 100;
constexpr int kMaxLimit = 1000;
// A notes answer stops growing past this many bytes, whatever the limit:
// 1,000 notes of control characters would otherwise take 400 MB. It always
// holds at least one note, so that following the cursor ends.
constexpr std::size_t kNotesAnswerBytes = 8 * 1024 * 1024;
// Room for what closes the answer after its last note.
constexpr std::size_t kAnswerTailBytes = 64;

std::optional<std::int64_t> ParseId(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

void ListNotes(Inbox& inbox, const Request& request, Response& response) {
    int limit = kDefaultLimit;
    std::optional<std::int64_t> before, after;
    if (request.has_param("limit")) {
        const auto value = ParseId(request.get_param_value("limit"));
        if (!value || *value > kMaxLimit) {
            return AnswerError(response, 400, "limit must be 1 to " + std::to_string(kMaxLimit));
        }
        limit = static_cast<int>(*value);
    }
    for (const auto& [name, bound] : {std::pair{"before", &before}, std::pair{"after", &after}}) {
        if (!request.has_param(name)) continue;
        *bound = ParseId(request.get_param_value(name));
        if (!*bound) return AnswerError(response, 400, std::string(name) + " must be a note id");
    }
    // Written note by note, and one more note asked for than given: whether
    // more remain shows without another query.
    std::string text = "{\"notes\":[";
    int given = 0;
    bool more = false;
    std::int64_t oldest = 0;
    inbox.store.ForEach(limit + 1, before, after, [&](const Note& note) {
        const std::string noteText = Dump(ToJson(note));
        if (given == limit ||
            (given > 0 && text.size() + noteText.size() + kAnswerTailBytes > kNotesAnswerBytes)) {
            more = true;
            return false;
        }
        if (given++ > 0) text += ',';
        text += noteText;
        oldest = note.id;
        return true;
    });
    text += "],\"more\":";
    text += more ? "true" : "false";
    // The cursor: the same query with before set to it gives the rest.
    if (more) text += ",\"next_before\":" + std::to_string(oldest);
    text += '}';
    AnswerJsonText(response, 200, std::move(text));
}

// The notes and the chaos settings as JSON.
void InstallNotesApi(httplib::Server& server, Inbox& inbox) {
    server.Get("/api/notes", [&inbox](const Request& request, Response& response) {
        ListNotes(inbox, request, response);
    });
    server.Get(R"(/api/notes/(\d+))", [&inbox](const Request& request, Response& response) {
        const auto id = ParseId(request.matches[1]);
        const std::optional<Note> note = id ? inbox.store.Find(*id) : std::nullopt;
        if (!note) return AnswerError(response, 404, "no such note");
        AnswerJson(response, 200, ToJson(*note));
    });
    server.Get(R"(/api/notes/(\d+)/image)", [&inbox](const Request& request, Response& response) {
        const auto id = ParseId(request.matches[1]);
        const std::optional<StoredImage> image = id ? inbox.store.Image(*id) : std::nullopt;
        if (!image) return AnswerError(response, 404, "no such image");
        // Never changes: an id is not reused.
        response.set_header("Cache-Control", "private, max-age=86400, immutable");
        response.set_content(image->bytes, image->type);
    });
    server.Post(R"(/api/notes/(\d+)/redeliver)",
                [&inbox](const Request& request, Response& response) {
                    if (!CarriesInboxMark(request)) return RefuseUnmarked(response);
                    const auto id = ParseId(request.matches[1]);
                    if (!id || !inbox.store.Find(*id))
                        return AnswerError(response, 404, "no such note");
                    if (!inbox.deliveries) return AnswerError(response, 409, "forwarding is off");
                    const std::vector<Delivery> requeued = inbox.store.Requeue(*id, NowMs());
                    for (const Delivery& delivery : requeued)
                        PublishDelivery(inbox.events, delivery);
                    inbox.deliveries->Add(requeued);
                    AnswerJson(response, 200, {{"requeued", requeued.size()}});
                });
    server.Delete("/api/notes", [&inbox](const Request& request, Response& response) {
        if (!CarriesInboxMark(request)) return RefuseUnmarked(response);
        const std::int64_t deleted = inbox.store.Clear();
        inbox.events.Publish("event: clear\ndata: {}\n\n");
        AnswerJson(response, 200, {{"deleted", deleted}});
    });

    server.Get("/api/health", [&inbox](const Request&, Response& response) {
        std::string store = "ok";
        std::int64_t queued = 0;
        try {
            queued = inbox.store.QueuedCount();
            inbox.store.CheckWritable();
        } catch (const std::exception& e) {
            store = e.what();
        }
        AnswerJson(response, store == "ok" ? 200 : 503,
                   {{"healthy", store == "ok"}, {"queued", queued}, {"store", store}});
    });
    server.Get("/api/chaos", [&inbox](const Request&, Response& response) {
        AnswerJson(response, 200, ToJson(inbox.chaos.Settings()));
    });
    server.Put("/api/chaos", [&inbox](const Request& request, Response& response) {
        if (!CarriesInboxMark(request)) return RefuseUnmarked(response);
        const nlohmann::ordered_json changes =
            nlohmann::ordered_json::parse(request.body, nullptr, false);
        if (changes.is_discarded()) return AnswerError(response, 400, "the body is not JSON");
        if (const std::string error = inbox.chaos.Update(changes); !error.empty()) {
            return AnswerError(response, 400, error);
        }
        const nlohmann::ordered_json settings = ToJson(inbox.chaos.Settings());
        inbox.events.Publish("event: chaos\ndata: " + Dump(settings) + "\n\n");
        AnswerJson(response, 200, settings);
    });
}

}  // namespace

void InstallApiRoutes(httplib::Server& server, Inbox& inbox) {
    InstallPageRoutes(server);
    InstallLoginRoutes(server, inbox);
    InstallNotesApi(server, inbox);
    InstallEventStream(server, inbox);
    InstallRequestGuards(server, inbox);
}

}  // namespace pushnote::inbox
