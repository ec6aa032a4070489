#include "event_stream.h"

#include <chrono>
#include <memory>
#include <string>

#include "json_answer.h"

namespace pushnote::inbox {
namespace {

using httplib::DataSink;
using httplib::Request;
using httplib::Response;
using namespace std::chrono_literals;

// A comment line this often keeps idle event streams open through proxies.
constexpr auto kEventHeartbeat = 15s;
// How often a waiting stream looks whether its page has gone, so that a
// closed page frees its connection at once rather than at the heartbeat.
constexpr auto kGoneCheck = 200ms;
constexpr const char* kRetryAfterSeconds = "5";

// A listener's place in the hub, for as long as its stream lasts.
class Place {
public:
    explicit Place(EventHub& events) : events_(events) {}
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;
    ~Place() { events_.Leave(); }

private:
    EventHub& events_;
};

void StreamEvents(Inbox& inbox, Response& response) {
    if (!inbox.events.Join()) {
        response.set_header("Retry-After", kRetryAfterSeconds);
        return AnswerError(response, 503,
                           "too many open event streams (" +
                               std::to_string(EventHub::kMaxListeners) + "); try again later");
    }
    auto place = std::make_shared<Place>(inbox.events);
    response.set_header("Cache-Control", "no-store");
    std::uint64_t after = inbox.events.Newest();
    auto lastWrite = std::chrono::steady_clock::now();
    response.set_chunked_content_provider(
        "text/event-stream",
        [&inbox, place, after, lastWrite](std::size_t offset, DataSink& sink) mutable {
            if (!sink.is_writable()) return false;
            // The first piece goes out at once, so the page knows it listens.
            std::string events = offset == 0 ? std::string("retry: 1000\n\n")
                                             : inbox.events.After(after, kGoneCheck);
            const auto now = std::chrono::steady_clock::now();
            if (events.empty() && now - lastWrite >= kEventHeartbeat) events = ": still here\n\n";
            if (events.empty()) return true;
            lastWrite = now;
            return sink.write(events.data(), events.size());
        });
}

}  // namespace

void InstallEventStream(httplib::Server& server, Inbox& inbox) {
    server.Get("/api/events",
               [&inbox](const Request&, Response& response) { StreamEvents(inbox, response); });
}

}  // namespace pushnote::inbox
