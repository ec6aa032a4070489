#include "interim_and_redirects.h"

#include <charconv>
#include <chrono>
#include <string>
#include <thread>

#include <openssl/ssl.h>

namespace pushnote::stand_in {
namespace {

using namespace std::chrono_literals;
using httplib::Request;
using httplib::Response;

// Long enough that the client has taken in the interim head before the next
// bytes arrive, so that it must tell the two answers apart by their content.
constexpr std::chrono::milliseconds kInterimPause = 300ms;
constexpr const char* kPlainText = "over plain http";

const char* InterimHead(int code) {
    switch (code) {
        case 100:
            return "HTTP/1.1 100 Continue\r\nX-Interim: continue\r\n\r\n";
        case 103:
            return "HTTP/1.1 103 Early Hints\r\nLink: </style.css>; rel=preload; as=style\r\n"
                   "Link: </script.js>; rel=preload; as=script\r\n\r\n";
        default:
            return nullptr;
    }
}

void Redirect(const Request& request, Response& response, const std::string& path) {
    response.status = 302;
    response.set_header("Location", "https://" + request.get_header_value("Host") + path);
    response.set_content("<html>moved</html>", "text/html");
}

// The plain-HTTP listener, started once and kept until the process ends.
int PlainPort() {
    static const int port = [] {
        auto* server = new httplib::Server;
        server->Get(".*", [](const Request&, Response& response) {
            response.set_content(kPlainText, "text/plain");
        });
        const int bound = server->bind_to_any_port("127.0.0.1");
        if (bound > 0) std::thread([server] { server->listen_after_bind(); }).detach();
        return bound;
    }();
    return port;
}

void NoPlainListener(Response& response) {
    response.status = 500;
    response.set_content("no plain-HTTP listener\n", "text/plain");
}

std::string PlainUrl() {
    return "http://localhost:" + std::to_string(PlainPort()) + "/";
}

}  // namespace

std::optional<int> InterimCode(std::string_view key, std::optional<std::uint64_t> value) {
    if (key != "interim" || !value || !InterimHead(static_cast<int>(*value))) return std::nullopt;
    return static_cast<int>(*value);
}

void SendInterimAnswers(const Request& request, const std::vector<int>& codes) {
    for (const int code : codes) {
        const std::string head = InterimHead(code);
        // The connection's own TLS object, which httplib lends out as const.
        SSL_write(const_cast<SSL*>(request.ssl), head.data(), static_cast<int>(head.size()));
        std::this_thread::sleep_for(kInterimPause);
    }
}

void AnswerRedirectChain(const Request& request, Response& response) {
    const std::string left = request.get_param_value("left");
    unsigned count = 0;
    const auto [end, error] = std::from_chars(left.data(), left.data() + left.size(), count);
    if (left.empty() || error != std::errc{} || end != left.data() + left.size()) {
        response.status = 400;
        return response.set_content("chain needs left=N\n", "text/plain");
    }
    if (count == 0) return response.set_content("end of chain", "text/plain");
    Redirect(request, response, "/chain?left=" + std::to_string(count - 1));
}

void AnswerRedirectLoop(const Request& request, Response& response) {
    Redirect(request, response, "/loop");
}

void AnswerPlainUrl(const Request&, Response& response) {
    if (PlainPort() <= 0) return NoPlainListener(response);
    response.set_content(PlainUrl(), "text/plain");
}

void AnswerDowngrade(const Request&, Response& response) {
    if (PlainPort() <= 0) return NoPlainListener(response);
    response.status = 302;
    response.set_header("Location", PlainUrl());
    response.set_content("<html>moved</html>", "text/html");
}

}  // namespace pushnote::stand_in
