// pushnote-inbox: a local notify service with a live web inbox.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <vector>

#include <httplib.h>

#include "api_routes.h"
#include "data_folder.h"
#include "lifetime.h"
#include "listener.h"
#include "notify_route.h"
#include "options.h"
#include "tls_files.h"

namespace {

namespace fs = std::filesystem;
using namespace pushnote::inbox;

constexpr const char* kProgram = "pushnote-inbox";
// Room for the message and the multipart framing around the largest image.
constexpr std::uint64_t kBodySlack = 1024 * 1024;

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
    if (!IsLoopback(options.listen)) {
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

    const ServerSettings settings{kProgram, options.listen, options.http,
                                  options.maxImageBytes + kBodySlack};
    std::vector<std::unique_ptr<httplib::Server>> servers;
    servers.push_back(OpenListener(settings, options.service, [&inbox](httplib::Server& server) {
        InstallApiRoutes(server, inbox);
        InstallNotifyRoute(server, inbox);
    }));
    ServeUntilStopped(servers, options.lifetime, signals, kProgram,
                      [&] { PrintWelcome(options, caFile); });
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    std::optional<Options> options = ParseOptions(argc, argv, exitCode);
    if (!options) return exitCode;

    const sigset_t signals = BlockStopSignals();
    try {
        if (options->printCa) return PrintCa(*options);
        Serve(*options, signals);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pushnote-inbox: %s\n", e.what());
        return 1;
    }
}
