#include "event_stream.h"

#include <chrono>

namespace pushnote::inbox {
namespace {

using httplib::DataSink;
using httplib::Request;
using httplib::Response;
using namespace std::chrono_literals;

// A comment line this often keeps idle event streams open through proxies
// and lets the server notice a page that has gone.
constexpr auto kEventHeartbeat = 15s;

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

void InstallEventStream(httplib::Server& server, Inbox& inbox) {
    server.Get("/api/events",
               [&inbox](const Request&, Response& response) { StreamEvents(inbox, response); });
}

}  // namespace pushnote::inbox
