// pushnote-inbox: a local notify service with a live web inbox.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <set>
#include <vector>

#include <httplib.h>

#include "api_routes.h"
#include "config_file.h"
#include "data_folder.h"
#include "delivery_ledger.h"
#include "forward_routes.h"
#include "inbox_server.h"
#include "lifetime.h"
#include "listener.h"
#include "log.h"
#include "notify_route.h"
#include "options.h"
#include "password_prompt.h"
#include "text_encoding.h"
#include "tls_files.h"

namespace {

namespace fs = std::filesystem;
using namespace pushnote::inbox;

constexpr const char* kProgram = "pushnote-inbox";

std::set<std::string> TokenDigests(const std::vector<std::string>& tokens) {
    std::set<std::string> digests;
    for (const std::string& token : tokens) digests.insert(Sha256Hex(token));
    return digests;
}

int PrintCa(const Options& options) {
    // The folder is made private before the CA's key goes into it.
    MakeDataFolderPrivate(options.data, options.data / "inbox.sqlite3");
    const TlsFiles files = EnsureTlsFiles(options.data / "tls");
    std::ifstream in(files.caCert);
    std::cout << in.rdbuf();
    return std::cout.flush() ? 0 : 1;
}

int CheckConfig(const std::filesystem::path& file) {
    Options options;
    try {
        LoadConfigFile(file, options);
    } catch (const ConfigError& e) {
        std::fprintf(stderr, "%s: %s\n", kProgram, e.what());
        return 2;
    }
    std::printf("%s: ok\n", file.c_str());
    return 0;
}

std::string PublicUrlWithoutSlash(std::string url) {
    if (url.ends_with('/')) url.pop_back();
    return url;
}

LogLevel LogLevelOf(const std::string& name) {
    return name == "error"     ? LogLevel::Error
           : name == "warning" ? LogLevel::Warning
           : name == "debug"   ? LogLevel::Debug
                               : LogLevel::Info;
}

PageMode PageModeOf(const std::string& name) {
    return name == "off" ? PageMode::Off : name == "password" ? PageMode::Password : PageMode::Open;
}

std::string When(std::optional<std::int64_t> ms) {
    return ms ? IsoTime(*ms) : "never";
}

int ManageUsers(const Options& options, const std::filesystem::path& file) {
    UserStore users(file);
    if (options.manageAction == "list") {
        for (const User& user : users.List()) {
            std::printf("%s\tadded %s\n", user.name.c_str(), When(user.createdMs).c_str());
        }
        return 0;
    }
    if (options.manageAction == "remove") {
        if (users.Remove(options.manageName)) return 0;
        std::fprintf(stderr, "%s: no user %s\n", kProgram, options.manageName.c_str());
        return 1;
    }
    const std::optional<std::string> password =
        ReadNewPassword("password for " + options.manageName);
    if (!password || password->size() < 8 || password->size() > 1024) {
        std::fprintf(stderr, "%s: no password set: it takes 8 to 1024 characters, the same twice\n",
                     kProgram);
        return 2;
    }
    if (!users.Add(options.manageName, *password)) {
        std::fprintf(stderr, "%s: user %s exists already\n", kProgram, options.manageName.c_str());
        return 2;
    }
    std::printf("%s: user %s added\n", kProgram, options.manageName.c_str());
    return 0;
}

int ManageTokens(const Options& options, const std::filesystem::path& file) {
    TokenStore tokens(file);
    if (options.manageAction == "list") {
        for (const NamedToken& token : tokens.List()) {
            std::printf("%s\tcreated %s\tlast used %s\n", token.name.c_str(),
                        When(token.createdMs).c_str(), When(token.lastUsedMs).c_str());
        }
        return 0;
    }
    if (options.manageAction == "remove") {
        if (tokens.Remove(options.manageName)) return 0;
        std::fprintf(stderr, "%s: no token %s\n", kProgram, options.manageName.c_str());
        return 1;
    }
    const std::optional<std::string> token = tokens.Add(options.manageName);
    if (!token) {
        std::fprintf(stderr, "%s: token %s exists already\n", kProgram, options.manageName.c_str());
        return 2;
    }
    // The only time it shows: the store keeps its SHA-256 alone.
    std::printf("%s\n", token->c_str());
    return 0;
}

// The `user` and `token` subcommands, on the store in --data.
int Manage(const Options& options) {
    if (options.manageAction != "list" && !UserStore::IsValidName(options.manageName)) {
        std::fprintf(stderr, "%s: a name is 1 to 64 of letters, digits, '.', '_', '-', '@'\n",
                     kProgram);
        return 2;
    }
    MakeDataFolderPrivate(options.data, options.data / "inbox.sqlite3");
    // Opening the note store brings the file up to date first.
    { NoteStore store(options.data / "inbox.sqlite3", options.keep); }
    const std::filesystem::path file = options.data / "inbox.sqlite3";
    return options.manage == "user" ? ManageUsers(options, file) : ManageTokens(options, file);
}

void PrintWelcome(const Options& options, const std::string& caFile,
                  const std::vector<DeliveryTarget>& targets) {
    const std::string host = IsLoopback(options.listen) ? "localhost" : options.listen;
    std::printf("pushnote-inbox: inbox at %s://%s:%u/\n", options.http ? "http" : "https",
                host.c_str(), static_cast<unsigned>(options.service.port));
    std::printf("pushnote-inbox: notes in %s\n", (options.data / "inbox.sqlite3").c_str());
    if (!caFile.empty()) std::printf("pushnote-inbox: CA certificate %s\n", caFile.c_str());
    for (const DeliveryTarget& target : targets) {
        std::printf("pushnote-inbox: forwarding to %s\n", target.destination.c_str());
    }
    std::fflush(stdout);
}

// The routes of the config file as it is now; forwarding given on the
// command line stays as it was. Nothing changes when the file has a mistake.
void ReloadRoutes(const Options& started, ForwardRoutes& routes, DeliveryQueue& queue) {
    Options reread;
    try {
        LoadConfigFile(started.config, reread);
    } catch (const ConfigError& e) {
        std::fprintf(stderr, "%s: kept the old routes: %s\n", kProgram, e.what());
        return;
    }
    if (started.forwardFromCommandLine) reread.forward = started.forward;
    Forwarding forwarding = BuildForwarding(reread);
    if (!forwarding.error.empty()) {
        std::fprintf(stderr, "%s: kept the old routes: %s\n", kProgram, forwarding.error.c_str());
        return;
    }
    queue.ReplaceDestinations(std::move(forwarding.destinations));
    routes.Replace(std::move(forwarding.rules));
    std::fprintf(stderr, "%s: routes reloaded: %zu destinations\n", kProgram, routes.All().size());
}

// What SIGHUP renews: the certificate and key, for the connections to come,
// and the config file's routes. A file that cannot be used leaves the old
// ones serving.
void Reload(InboxServer& server, const Options& options, ForwardRoutes& routes,
            DeliveryQueue& queue) {
    try {
        server.ReloadCertificate();
        std::fprintf(stderr, "%s: certificate reloaded\n", kProgram);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: kept the old certificate: %s\n", kProgram, e.what());
    }
    if (!options.config.empty()) ReloadRoutes(options, routes, queue);
}

// Serves until a signal or the end of the lifetime, then ends the process.
[[noreturn]] void Serve(Options& options, Forwarding forwarding, const sigset_t& signals) {
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
                TokenDigests(options.tokens),
                options.maxImageBytes,
                IsLoopback(options.listen),
                nullptr,
                nullptr,
                nullptr,
                {},
                {}};
    UserStore users(options.data / "inbox.sqlite3");
    TokenStore namedTokens(options.data / "inbox.sqlite3");
    inbox.namedTokens = &namedTokens;
    NoteRateLimit noteLimit(options.notesPerMinute, options.notesPerMinuteByToken);
    inbox.noteLimit = &noteLimit;
    if (!IsLoopback(options.listen) && options.page != "off" && users.List().empty()) {
        std::fprintf(stderr,
                     "%s: listening on %s: the page and the API need a login from other "
                     "machines, and there is no user yet (pushnote-inbox user add NAME)\n",
                     kProgram, options.listen.c_str());
    }
    PageLock pageLock;
    pageLock.mode = PageModeOf(options.page);
    pageLock.users = &users;
    inbox.pageLock = &pageLock;
    inbox.trustedProxy = options.trustedProxy;
    inbox.publicName = ParsePublicUrl(options.publicUrl);
    ForwardRoutes routes;
    routes.Replace(std::move(forwarding.rules));
    inbox.routes = &routes;
    StoreLedger ledger(store, events);
    // Workers even without destinations: a reload may bring some.
    DeliveryQueue queue(
        std::move(forwarding.destinations), ledger,
        {{options.forwardCa}, options.forwardGiveUp, 4, PublicUrlWithoutSlash(options.publicUrl)});
    inbox.deliveries = &queue;
    // What the last run left queued; one whose destination is gone fails.
    queue.Add(store.QueuedDeliveries());

    ConnectionLimits limits;
    // A chunked note's framing is small beside its data: a little over the largest note.
    const std::uint64_t largestBody = LargestNoteBody(options.maxImageBytes);
    limits.bodyBytes = largestBody + largestBody / 8 + 64 * 1024;
    InboxServer server(options.http ? std::string() : options.service.cert, options.service.key,
                       limits, options.trustedProxy);
    // The notify route's own limit; the guards hold every other route to
    // kApiBodyBytes before the server reads a byte of its body.
    server.set_payload_max_length(largestBody);
    // What the answers' Keep-Alive header tells; InboxServer keeps to it.
    server.set_keep_alive_timeout(limits.idle.count());
    server.set_keep_alive_max_count(100000);
    server.set_exception_handler(
        [](const httplib::Request& request, httplib::Response& response, std::exception_ptr error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                // The path, not the target: a query may hold what the client keeps.
                std::string line = "request ";
                line.append(request.method).append(" ").append(request.path);
                Log(LogLevel::Error, line.append(": ").append(e.what()));
            }
            response.status = 500;
        });
    // The path only: a query is the client's to keep. A request that could
    // not be read has none of these: "-" stands in.
    server.set_logger([](const httplib::Request& request, const httplib::Response& response) {
        const auto shown = [](const std::string& text) { return text.empty() ? "-" : text; };
        Log(LogLevel::Info, "request " + shown(request.remote_addr) + " " + shown(request.method) +
                                " " + shown(request.path) + " " + std::to_string(response.status));
    });
    InstallApiRoutes(server, inbox);
    InstallNotifyRoute(server, inbox);
    server.Bind(options.listen, options.service.port);
    ServeUntilStopped(
        {[&server] { server.Serve(); }}, options.lifetime, signals, kProgram,
        [&] { PrintWelcome(options, caFile, routes.All()); },
        [&] { Reload(server, options, routes, queue); });
}

}  // namespace

int main(int argc, char** argv) {
    int exitCode = 0;
    std::optional<Options> options = ParseOptions(argc, argv, exitCode);
    if (!options) return exitCode;

    SetLogLevel(LogLevelOf(options->logLevel));
    const sigset_t signals = BlockStopSignals();
    try {
        if (!options->checkConfig.empty()) return CheckConfig(options->checkConfig);
        if (options->printCa) return PrintCa(*options);
        if (!options->manage.empty()) return Manage(*options);
        Forwarding forwarding = BuildForwarding(*options);
        if (!forwarding.error.empty()) {
            std::fprintf(stderr, "%s: %s\n", kProgram, forwarding.error.c_str());
            return 2;
        }
        Serve(*options, std::move(forwarding), signals);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "pushnote-inbox: %s\n", e.what());
        return 1;
    }
}
