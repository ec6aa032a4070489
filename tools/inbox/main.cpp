// pushnote-inbox: a local notify service with a live web inbox.
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include <httplib.h>

#include "api_routes.h"
#include "data_folder.h"
#include "notify_route.h"
#include "options.h"
#include "recorder.h"
#include "routes.h"
#include "tls_files.h"

namespace {

namespace fs = std::filesystem;
using namespace pushnote::inbox;

// Enough that open pages (one event stream each), held (silent) connections
// and idle keep-alive connections leave workers for the others.
constexpr std::size_t kWorkers = 32;
// Room for the message and the multipart framing around the largest image.
constexpr std::uint64_t kBodySlack = 1024 * 1024;

bool IsLoopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.starts_with("127.");
}

std::unique_ptr<httplib::Server> NewServer(bool http, const std::string& cert,
                                           const std::string& key) {
    if (http) return std::make_unique<httplib::Server>();
    auto server = std::make_unique<httplib::SSLServer>(cert.c_str(), key.c_str());
    if (!server->is_valid()) {
        throw std::runtime_error("cannot use certificate " + cert + " with key " + key);
    }
    return server;
}

// One listener: the page, the API and the service, or for the wire tests the
// directive routes alone, which answer every path as those tests expect.
std::unique_ptr<httplib::Server> OpenListener(const Options& options, const Listener& listener,
                                              Inbox& inbox,
                                              pushnote::stand_in::Recorder& recorder) {
    auto server = NewServer(options.http, listener.cert, listener.key);
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
    server->set_payload_max_length(options.maxImageBytes + kBodySlack);
    server->set_exception_handler(
        [](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "pushnote-inbox: %s %s: %s\n", request.method.c_str(),
                             request.target.c_str(), e.what());
            }
            response.status = 500;
        });
    if (options.test.directives) {
        pushnote::stand_in::InstallRoutes(*server, recorder);
    } else {
        InstallApiRoutes(*server, inbox);
        InstallNotifyRoute(*server, inbox);
    }
    if (!server->bind_to_port(options.listen.c_str(), listener.port)) {
        throw std::runtime_error("cannot listen on " + options.listen + ":" +
                                 std::to_string(listener.port));
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
    fs::rename(partial, path, error);
    return !error;
}

int PrintCa(const Options& options) {
    const TlsFiles files = EnsureTlsFiles(options.data / "tls");
    std::ifstream in(files.caCert);
    std::cout << in.rdbuf();
    return std::cout.flush() ? 0 : 1;
}

void PrintWelcome(const Options& options, const std::string& caFile) {
    const std::string host = IsLoopback(options.listen) ? "localhost" : options.listen;
    std::printf("pushnote-inbox: inbox at %s://%s:%u/\n", options.http ? "http" : "https",
                host.c_str(), static_cast<unsigned>(options.service.port));
    std::printf("pushnote-inbox: notes in %s\n", (options.data / "inbox.sqlite3").c_str());
    if (!caFile.empty()) std::printf("pushnote-inbox: CA certificate %s\n", caFile.c_str());
    std::fflush(stdout);
}

// Serves until a signal or the end of the lifetime, then ends the process.
[[noreturn]] void Serve(Options& options, const sigset_t& signals) {
    if (!IsLoopback(options.listen) && !options.test.directives) {
        std::fprintf(stderr,
                     "pushnote-inbox: warning: listening on %s: everyone on that network can "
                     "read the notes and clear them\n",
                     options.listen.c_str());
    }
    for (const std::string& widened :
         MakeDataFolderPrivate(options.data, options.data / "inbox.sqlite3")) {
        std::fprintf(stderr, "pushnote-inbox: made private to its owner: %s\n", widened.c_str());
    }
    std::string caFile;
    if (!options.http && options.service.cert.empty()) {
        const TlsFiles files = EnsureTlsFiles(options.data / "tls");
        options.service.cert = files.serverCert.string();
        options.service.key = files.serverKey.string();
        caFile = files.caCert.string();
    }
    NoteStore store(options.data / "inbox.sqlite3", options.keep);
    EventHub events;
    Chaos chaos(options.chaos);
    Inbox inbox{store,
                events,
                chaos,
                {options.tokens.begin(), options.tokens.end()},
                options.maxImageBytes,
                IsLoopback(options.listen)};
    pushnote::stand_in::Recorder recorder(options.test.recordDir, false);

    std::vector<const Listener*> listeners{&options.service};
    if (options.test.expired) listeners.push_back(&*options.test.expired);
    std::vector<std::unique_ptr<httplib::Server>> servers;
    for (const Listener* listener : listeners) {
        servers.push_back(OpenListener(options, *listener, inbox, recorder));
    }
    for (const auto& server : servers) {
        std::thread([listening = server.get()] { listening->listen_after_bind(); }).detach();
    }

    // From here on the workers may run: the process ends with _Exit, without
    // waiting for them, since held connections and open pages keep them. Each
    // note is committed before it is answered, and records are whole files.
    if (!options.test.pidFile.empty() && !WritePidFile(options.test.pidFile)) {
        std::fprintf(stderr, "pushnote-inbox: cannot write %s\n", options.test.pidFile.c_str());
        std::_Exit(1);
    }
    PrintWelcome(options, caFile);

    alarm(options.test.maxSeconds);
    int received = 0;
    sigwait(&signals, &received);
    if (!options.test.pidFile.empty()) {
        std::error_code ignored;
        fs::remove(options.test.pidFile, ignored);
    }
    std::fflush(stdout);
    std::_Exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    std::optional<Options> options = ParseOptions(argc, argv, exitCode);
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
        if (options->printCa) return PrintCa(*options);
        Serve(*options, signals);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pushnote-inbox: %s\n", e.what());
        return 1;
    }
}
