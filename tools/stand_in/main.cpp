// pushnote-stand-in: a local HTTPS stand-in for the notify service.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

#include <httplib.h>

#include "options.h"
#include "recorder.h"
#include "routes.h"

namespace {

using pushnote::stand_in::Listener;
using pushnote::stand_in::Options;

// Enough that held (silent) connections and idle keep-alive connections of
// one client leave workers for the others.
constexpr std::size_t kWorkers = 16;
constexpr const char* kLoopback = "127.0.0.1";

std::unique_ptr<httplib::SSLServer> OpenListener(const Listener& listener,
                                                 pushnote::stand_in::Recorder& recorder) {
    auto server = std::make_unique<httplib::SSLServer>(listener.cert.c_str(), listener.key.c_str());
    if (!server->is_valid()) {
        std::fprintf(stderr, "pushnote-stand-in: cannot use certificate %s with key %s\n",
                     listener.cert.c_str(), listener.key.c_str());
        return nullptr;
    }
    // httplib's default SO_REUSEPORT would let a second stand-in share the port
    // silently, each answering some of the connections; this makes bind fail.
    server->set_socket_options([](int socket) {
        const int yes = 1;
        setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    // Without it the answer's head and body wait on the client's delayed ACK (~40 ms).
    server->set_tcp_nodelay(true);
    server->set_keep_alive_max_count(1000);
    server->set_keep_alive_timeout(10);
    server->set_exception_handler(
        [](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "pushnote-stand-in: %s %s: %s\n", request.method.c_str(),
                             request.target.c_str(), e.what());
            }
            response.status = 500;
        });
    pushnote::stand_in::InstallRoutes(*server, recorder);
    if (!server->bind_to_port(kLoopback, listener.port)) {
        std::fprintf(stderr, "pushnote-stand-in: cannot listen on %s:%u\n", kLoopback,
                     static_cast<unsigned>(listener.port));
        return nullptr;
    }
    return server;
}

bool WritePidFile(const std::string& path) {
    const std::string partial = path + ".partial";
    {
        std::ofstream out(partial, std::ios::trunc);
        out << getpid() << '\n';
        if (!out.flush()) return false;
    }
    std::error_code error;
    std::filesystem::rename(partial, path, error);
    return !error;
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    const std::optional<Options> options = pushnote::stand_in::ParseOptions(argc, argv, exitCode);
    if (!options) return exitCode;

    // Blocked before any thread starts, so that every thread inherits the mask
    // and only the final sigwait takes these signals; SIGALRM ends the lifetime.
    sigset_t signals;
    sigemptyset(&signals);
    for (int number : {SIGINT, SIGTERM, SIGHUP, SIGALRM}) sigaddset(&signals, number);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that leaves early must not end the process on the next write.
    std::signal(SIGPIPE, SIG_IGN);

    try {
        pushnote::stand_in::Recorder recorder(options->recordDir, options->print);
        std::vector<const Listener*> listeners{&options->service};
        if (options->expired) listeners.push_back(&*options->expired);
        std::vector<std::unique_ptr<httplib::SSLServer>> servers;
        for (const Listener* listener : listeners) {
            servers.push_back(OpenListener(*listener, recorder));
            if (!servers.back()) return 1;
        }
        for (const auto& server : servers) {
            std::thread([listening = server.get()] { listening->listen_after_bind(); }).detach();
        }

        // From here on the workers may run: the process ends with _Exit, without
        // waiting for them, since held or idle keep-alive connections keep them
        // for seconds. Records are complete files whenever it ends.
        if (!options->pidFile.empty() && !WritePidFile(options->pidFile)) {
            std::fprintf(stderr, "pushnote-stand-in: cannot write %s\n", options->pidFile.c_str());
            std::_Exit(1);
        }
        if (options->print) {
            std::printf("pushnote-stand-in: listening on https://localhost:%u\n",
                        static_cast<unsigned>(options->service.port));
            std::fflush(stdout);
        }
        alarm(options->maxSeconds);
        int received = 0;
        sigwait(&signals, &received);
        if (!options->pidFile.empty()) {
            std::error_code ignored;
            std::filesystem::remove(options->pidFile, ignored);
        }
        std::fflush(stdout);
        std::_Exit(0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pushnote-stand-in: %s\n", e.what());
        return 1;
    }
}
