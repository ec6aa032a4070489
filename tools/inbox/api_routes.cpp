#include "api_routes.h"

#include <charconv>
#include <chrono>
#include <optional>

#include "note_json.h"
#include "page_assets.h"

namespace pushnote::inbox {
namespace {

using httplib::DataSink;
using httplib::Request;
using httplib::Response;
using namespace std::chrono_literals;

constexpr int kDefaultLimit = 100;
constexpr int kMaxLimit = 1000;
// A comment line this often keeps idle event streams open through proxies
// and lets the server notice a page that has gone.
constexpr auto kEventHeartbeat = 15s;
constexpr const char* kPagePolicy =
    "default-src 'self'; img-src 'self'; style-src 'self'; script-src 'self'; "
    "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";

void AnswerJson(Response& response, int status, const nlohmann::ordered_json& value) {
    response.status = status;
    response.set_header("Cache-Control", "no-store");
    response.set_content(Dump(value), "application/json");
}

void AnswerError(Response& response, int status, const std::string& message) {
    AnswerJson(response, status, {{"status", status}, {"message", message}});
}

std::optional<std::int64_t> ParseId(const std::string& text) {
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

// A page of another site can send a simple form or a fetch without custom
// headers, but neither a JSON content type nor this header without asking
// the server first, which it never allows.
bool CarriesInboxMark(const Request& request) {
    return request.get_header_value("Content-Type").starts_with("application/json") ||
           request.get_header_value("X-PushNote-Inbox") == "1";
}

void RefuseUnmarked(Response& response) {
    AnswerError(response, 403,
                "changing the inbox needs Content-Type: application/json or X-PushNote-Inbox: 1");
}

// The Host a request was sent to, without its port.
std::string HostName(const Request& request) {
    const std::string host = request.get_header_value("Host");
    if (host.starts_with('[')) return host.substr(0, host.find(']') + 1);
    return host.substr(0, host.find(':'));
}

// A page of another site whose name it points at 127.0.0.1 would count as
// the same origin as the inbox; such requests carry that other name.
bool AddressedToLoopback(const Request& request) {
    const std::string host = HostName(request);
    return host == "localhost" || host == "[::1]" || host.starts_with("127.");
}

void ServeAsset(const std::string& path, Response& response) {
    const PageAsset* asset = FindPageAsset(path);
    if (!asset) return AnswerError(response, 404, "not found");
    const char* type = path.ends_with(".html")  ? "text/html; charset=utf-8"
                       : path.ends_with(".css") ? "text/css; charset=utf-8"
                       : path.ends_with(".svg") ? "image/svg+xml"
                                                : "text/javascript; charset=utf-8";
    response.set_header("Content-Security-Policy", kPagePolicy);
    response.set_header("Cache-Control", "no-cache");
    response.set_content(std::string(asset->bytes), type);
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

void StreamEvents(Inbox& inbox, Response& response) {
    response.set_header("Cache-Control", "no-store");
    std::uint64_t after = inbox.events.Newest();
    response.set_chunked_content_provider(
        "text/event-stream", [&inbox, after](std::size_t offset, DataSink& sink) mutable {
            // The first piece goes out at once, so the page knows it listens.
            std::string events = offset == 0 ? std::string("retry: 1000\n\n")
                                             : inbox.events.After(after, kEventHeartbeat);
            if (events.empty()) events = ": still here\n\n";
            return sink.is_writable() && sink.write(events.data(), events.size());
        });
}

}  // namespace

void InstallApiRoutes(httplib::Server& server, Inbox& inbox) {
    server.Get("/",
               [](const Request&, Response& response) { ServeAsset("/index.html", response); });
    server.Get(
        R"(/(inbox\.css|inbox\.js|favicon\.svg))",
        [](const Request& request, Response& response) { ServeAsset(request.path, response); });

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

    server.Get("/api/events",
               [&inbox](const Request&, Response& response) { StreamEvents(inbox, response); });

    // On loopback compressing costs more than it saves: the server's Brotli at
    // its highest level takes seconds for a list of a thousand notes. The
    // request is the server's own non-const object, lent to the handler.
    server.set_pre_routing_handler([&inbox](const Request& request, Response& response) {
        if (inbox.loopbackOnly && !AddressedToLoopback(request)) {
            AnswerError(response, 403, "the inbox answers requests to localhost only");
            return httplib::Server::HandlerResponse::Handled;
        }
        const_cast<Request&>(request).headers.erase("Accept-Encoding");
        return httplib::Server::HandlerResponse::Unhandled;
    });
    // Browsers take every answer as the type it names, and send no referrer on.
    server.set_post_routing_handler([](const Request&, Response& response) {
        response.set_header("X-Content-Type-Options", "nosniff");
        response.set_header("Referrer-Policy", "no-referrer");
    });
}

}  // namespace pushnote::inbox
