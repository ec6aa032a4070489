#include "api_routes.h"

#include <charconv>
#include <optional>

#include "event_stream.h"
#include "json_answer.h"
#include "note_json.h"
#include "page_routes.h"
#include "request_guards.h"

namespace pushnote::inbox {
namespace {

using httplib::Request;
using httplib::Response;

constexpr int kDefaultLimit = 100;
constexpr int kMaxLimit = 1000;

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
    nlohmann::ordered_json notes = nlohmann::ordered_json::array();
    for (const Note& note : inbox.store.List(limit, before, after)) notes.push_back(ToJson(note));
    AnswerJson(response, 200, {{"notes", std::move(notes)}});
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
    server.Delete("/api/notes", [&inbox](const Request& request, Response& response) {
        if (!CarriesInboxMark(request)) return RefuseUnmarked(response);
        const std::int64_t deleted = inbox.store.Clear();
        inbox.events.Publish("event: clear\ndata: {}\n\n");
        AnswerJson(response, 200, {{"deleted", deleted}});
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
    InstallNotesApi(server, inbox);
    InstallEventStream(server, inbox);
    InstallRequestGuards(server, inbox);
}

}  // namespace pushnote::inbox
