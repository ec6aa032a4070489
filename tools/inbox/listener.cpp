#include "listener.h"

#include <sys/socket.h>

#include <cstdio>
#include <stdexcept>

namespace pushnote::inbox {
namespace {

// Enough that open pages (one event stream each), held (silent) connections
// and idle keep-alive connections leave workers for the others.
constexpr std::size_t kWorkers = 32;

std::unique_ptr<httplib::Server> NewServer(bool http, const std::string& cert,
                                           const std::string& key) {
    if (http) return std::make_unique<httplib::Server>();
    auto server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!server->is_valid()) {
        throw std::runtime_error("cannot use certificate " + cert + " with key " + key);
    }
    return server;
}

}  // namespace

bool IsLoopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.starts_with("127.");
}

std::unique_ptr<httplib::Server> OpenListener(
    const ServerSettings& settings, const Listener& listener,
    const std::function<void(httplib::Server&)>& installRoutes) {
    auto server = NewServer(settings.http, listener.cert, listener.key);
    // httplib's default SO_REUSEPORT would let a second server share the port
    // silently, each answering some of the connections; this makes bind fail.
    server->set_socket_options([](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    // Without it the answer's head and body wait on the client's delayed ACK (~40 ms).
    server->set_tcp_nodelay(true);
    server->set_keep_alive_max_count(100000);
    server->set_keep_alive_timeout(10);
    server->set_payload_max_length(settings.maxBodyBytes);
    server->set_exception_handler([program = settings.program](const httplib::Request& request,
                                                               httplib::Response& response,
                                                               std::exception_ptr error) {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s %s: %s\n", program.c_str(), request.method.c_str(),
                         request.target.c_str(), e.what());
        }
        response.status = 500;
    });
    installRoutes(*server);
    if (!server->bind_to_port(settings.listen.c_str(), listener.port)) {
        throw std::runtime_error("cannot listen on " + settings.listen + ":" +
                                 std::to_string(listener.port));
    }
    return server;
}

}  // namespace pushnote::inbox
