#include "request_guards.h"

#include "json_answer.h"

namespace pushnote::inbox {
namespace {

using httplib::Request;
using httplib::Response;

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

}  // namespace

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

void InstallRequestGuards(httplib::Server& server, Inbox& inbox) {
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
