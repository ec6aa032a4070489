#include "request_guards.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>
#include <string_view>
#include <utility>

#include "connection.h"
#include "json_answer.h"
#include "login_routes.h"

namespace pushnote::inbox {
namespace {

using httplib::Request;
using httplib::Response;

bool IsPort(std::string_view text) {
    unsigned port = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), port);
    return error == std::errc{} && end == text.data() + text.size() && text.size() <= 5 &&
           port <= 65535;
}

bool IsLoopbackIpv4(std::string_view text) {
    in_addr address{};
    return text.size() < INET_ADDRSTRLEN &&
           inet_pton(AF_INET, std::string(text).c_str(), &address) == 1 &&
           (ntohl(address.s_addr) >> 24) == 127;
}

// The API's own bodies (chaos settings) are small and sent whole; only the
// notify route reads longer ones, bounding them itself. The server would read
// a body of any other route, chunked or up to the connection's end when it
// has no length, before the route sees it.
std::optional<std::pair<int, std::string>> RefuseUnboundedBody(const Request& request) {
    if (request.path == "/api/notify" && request.method == "POST") return std::nullopt;
    const bool bodyExpected = request.method == "POST" || request.method == "PUT" ||
                              request.method == "PATCH" || request.method == "PRI";
    if (request.has_header("Transfer-Encoding") ||
        (bodyExpected && !request.has_header("Content-Length"))) {
        return std::pair{411, std::string("send the body whole, with a Content-Length")};
    }
    const std::string declared = request.get_header_value("Content-Length");
    std::uint64_t length = 0;
    const auto [end, error] =
        std::from_chars(declared.data(), declared.data() + declared.size(), length);
    if (!declared.empty() && (error != std::errc{} || length > kApiBodyBytes)) {
        return std::pair{413, "the body is larger than the limit of " +
                                  std::to_string(kApiBodyBytes) + " bytes"};
    }
    // The server reads no body of a GET: its bytes would be taken for the next request.
    if (length > 0 && !bodyExpected && request.method != "DELETE") {
        return std::pair{400, request.method + " takes no body"};
    }
    return std::nullopt;
}

}  // namespace

bool IsLoopbackHost(std::string_view host) {
    // "[::1]:8443" is "[::1]" and 8443; a port, when given, must be a number.
    std::string_view name = host;
    const bool bracketed = host.starts_with('[');
    if (const std::size_t mark = bracketed ? host.find("]:") : host.rfind(':');
        mark != std::string_view::npos) {
        const std::size_t colon = bracketed ? mark + 1 : mark;
        if (!IsPort(host.substr(colon + 1))) return false;
        name = host.substr(0, colon);
    }
    if (name == "[::1]") return true;
    if (name.size() == 9 && std::equal(name.begin(), name.end(), "localhost", [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        })) {
        return true;
    }
    return IsLoopbackIpv4(name);
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

void InstallRequestGuards(httplib::Server& server, Inbox& inbox) {
    // On loopback compressing costs more than it saves: the server's Brotli at
    // its highest level takes seconds for a list of a thousand notes. The
    // request is the server's own non-const object, lent to the handler.
    server.set_pre_routing_handler([&inbox](const Request& request, Response& response) {
        // A page of another site whose name it points at 127.0.0.1 would count as
        // the same origin as the inbox; its requests carry that other name.
        const std::string host = request.get_header_value("Host");
        const bool hostChecked = inbox.loopbackOnly || inbox.publicName;
        if (hostChecked && !IsLoopbackHost(host) &&
            !(inbox.publicName && IsPublicHost(host, *inbox.publicName))) {
            CloseAfterAnswer(response);
            AnswerError(response, 403,
                        inbox.publicName
                            ? "the inbox answers requests to localhost and " +
                                  inbox.publicName->name + " only"
                            : std::string("the inbox answers requests to localhost only"));
            return httplib::Server::HandlerResponse::Handled;
        }
        if (auto refusal = RefuseUnboundedBody(request)) {
            CloseAfterAnswer(response);
            AnswerError(response, refusal->first, refusal->second);
            return httplib::Server::HandlerResponse::Handled;
        }
        if (!PassesPageLock(request, response, inbox)) {
            // The body, if any, stays unread.
            if (request.has_header("Content-Length")) CloseAfterAnswer(response);
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
