#include "options.h"

#include <cstdlib>
#include <map>

#include <CLI/CLI.hpp>

#include "config_file.h"
#include "public_name.h"

namespace pushnote::inbox {
namespace {

constexpr const char* kDescription =
    R"(A local notify service that keeps every notification it receives and shows
them in a live web page on the same port. Point a build of PushNote at it.

Routes: GET / (the page), POST /api/notify, GET /api/notes?limit=N&before=ID,
GET /api/notes/ID, GET /api/notes/ID/image, POST /api/notes/ID/redeliver,
DELETE /api/notes, GET and PUT /api/chaos, GET /api/events (server-sent events), GET and POST /login,
POST /logout.)";

std::filesystem::path DefaultData() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && *dataHome) return std::filesystem::path(dataHome) / "pushnote-inbox";
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : ".") / ".local/share/pushnote-inbox";
}

// The file --config names, found before the command line is parsed, so that
// the command line's options override the file's.
std::optional<std::string> ConfigFileArgument(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--config" && i + 1 < argc) return argv[i + 1];
        if (argument.starts_with("--config=")) return std::string(argument.substr(9));
    }
    return std::nullopt;
}

}  // namespace

std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode) {
    Options options;
    options.data = DefaultData();
    if (const std::optional<std::string> config = ConfigFileArgument(argc, argv)) {
        try {
            LoadConfigFile(*config, options);
        } catch (const ConfigError& e) {
            std::fprintf(stderr, "pushnote-inbox: %s\n", e.what());
            exitCode = 2;
            return std::nullopt;
        }
    }
    CLI::App app(kDescription, "pushnote-inbox");
    app.option_defaults()->always_capture_default();
    const auto dataOption = [&options](CLI::App& command) {
        command.add_option("--data", options.data, "folder of the store and the TLS files");
    };
    dataOption(app);
    app.add_option("--config", options.config,
                   "TOML file of these options (see docs/inbox.md); the command line overrides "
                   "it. Others than its owner and group must not be able to read it");
    app.add_option("--port", options.service.port, "port of the page and the API")
        ->check(CLI::Range(1, 65535));
    app.add_option("--listen", options.listen,
                   "address to listen on; from other machines the page and the API need a login");
    app.add_option("--trusted-proxy", options.trustedProxy,
                   "address of a reverse proxy in front, held only to the total of connections");
    app.add_flag("--http", options.http, "plain HTTP instead of HTTPS");
    app.add_option("--public-url", options.publicUrl,
                   "https://NAME[:PORT] that people reach the inbox by: that name is answered "
                   "beside loopback names, and forwarded notes link there")
        ->check([](const std::string& url) {
            return ParsePublicUrl(url) ? std::string()
                                       : std::string("must be http(s)://NAME[:PORT]");
        });
    app.add_option("--page", options.page,
                   "open: the page and API need a login from other machines; password: from "
                   "everywhere; off: serve only /api/notify and /api/health")
        ->check(CLI::IsMember({"open", "password", "off"}));
    app.add_option("--cert", options.service.cert,
                   "certificate chain (PEM) to use instead of the inbox's own");
    app.add_option("--key", options.service.key, "private key (PEM) of --cert");
    app.add_option("--log-level", options.logLevel,
                   "error, warning, info (each request, note and delivery) or debug")
        ->check(CLI::IsMember({"error", "warning", "info", "debug"}));
    app.add_option(
        "--token", options.tokens,
        "accept only this bearer token (repeatable); without it any token from this machine");
    app.add_option("--keep", options.keep, "keep the newest N notes")->check(CLI::PositiveNumber);
    app.add_option("--notes-per-minute", options.notesPerMinute,
                   "at most N notes a minute for each token; past it 429 with Retry-After")
        ->check(CLI::Range(1, 1000000));
    app.add_option("--max-image", options.maxImageBytes, "largest image in bytes; larger gets 413")
        ->check(CLI::PositiveNumber);

    const char* forwarding = "Forwarding";
    CLI::Option* forward =
        app.add_option(
               "--forward", options.forward,
               "carry every note on to this destination (repeatable): mailto://, mailtos://, "
               "ntfy://, ntfys://, json://, jsons:// or https:// (see docs/inbox.md)")
            ->group(forwarding);
    app.add_option("--forward-ca", options.forwardCa,
                   "CA certificates (PEM) trusted for the receivers instead of the system's")
        ->check(CLI::ExistingFile)
        ->group(forwarding);
    std::int64_t giveUpSeconds = options.forwardGiveUp.count();
    app.add_option("--forward-give-up", giveUpSeconds,
                   "stop retrying a delivery after this long (s, m or h; default 24h)")
        ->transform(CLI::AsNumberWithUnit(
            std::map<std::string, std::int64_t>{{"s", 1}, {"m", 60}, {"h", 3600}},
            CLI::AsNumberWithUnit::CASE_SENSITIVE))
        ->check(CLI::Range(std::int64_t{1}, std::int64_t{366} * 24 * 3600))
        ->group(forwarding);

    const char* chaos = "Chaos (also set at run time with PUT /api/chaos)";
    app.add_option("--status", options.chaos.status, "answer every note with status N")
        ->check(CLI::Range(100, 599))
        ->group(chaos);
    app.add_option("--delay-ms", options.chaos.delayMs, "wait N ms before each answer")
        ->check(CLI::Range(0, 600000))
        ->group(chaos);
    app.add_flag("--silent", options.chaos.silent, "never answer a note")->group(chaos);
    app.add_flag("--trickle", options.chaos.trickle, "send each answer's body a byte at a time")
        ->group(chaos);
    app.add_option("--fail-every", options.chaos.failEvery, "answer every Nth note with 500")
        ->check(CLI::Range(1, 1000000))
        ->group(chaos);
    app.add_option("--rate-limit", options.chaos.rateLimit,
                   "answer 429 with Retry-After past N notes a minute")
        ->check(CLI::Range(1, 1000000))
        ->group(chaos);

    app.add_option("--pid-file", options.lifetime.pidFile, "write the process id once listening");
    app.add_option("--max-seconds", options.lifetime.maxSeconds, "end by itself after N seconds");

    CLI::App* check = app.add_subcommand("check-config", "check a config file and end");
    check->add_option("file", options.checkConfig, "the TOML file")->required();
    CLI::App* ca = app.add_subcommand("ca", "print the inbox's CA certificate (PEM) and end");
    dataOption(*ca);
    const auto manage = [&](const char* what, const char* description, const char* adds) {
        CLI::App* group = app.add_subcommand(what, description);
        group->require_subcommand(1);
        for (const std::string action : {"add", "remove", "list"}) {
            CLI::App* command = group->add_subcommand(action, action == "add"      ? adds
                                                              : action == "remove" ? "remove NAME"
                                                                                   : "list them");
            dataOption(*command);
            if (action != "list") {
                command->add_option("name", options.manageName, "the name")->required();
            }
            command->callback([&options, what, action] {
                options.manage = what;
                options.manageAction = action;
            });
        }
    };
    manage("user", "the people who may log in to the page",
           "add NAME; the password is asked for, or read from standard input");
    manage("token", "the access tokens hosts send, each under a name",
           "add NAME; prints the new token once: only its SHA-256 is kept");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        exitCode = app.exit(error);
        return std::nullopt;
    }
    options.printCa = ca->parsed();
    options.forwardFromCommandLine = forward->count() > 0;
    options.forwardGiveUp = std::chrono::seconds(giveUpSeconds);
    if (options.service.cert.empty() != options.service.key.empty()) {
        std::fputs("pushnote-inbox: --cert and --key go together\n", stderr);
        exitCode = 2;
        return std::nullopt;
    }
    return options;
}

}  // namespace pushnote::inbox
