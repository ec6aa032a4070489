#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "chaos.h"
#include "lifetime.h"
#include "listener.h"

namespace pushnote::inbox {

// Notes with one of these token names ("*": any token) go to these destinations.
struct Route {
    std::vector<std::string> tokens;
    std::vector<std::string> forward;
};

struct Options {
    bool printCa = false;               // the `ca` subcommand
    std::filesystem::path config;       // --config, read before the command line
    std::filesystem::path checkConfig;  // the `check-config` subcommand's file
    // The `user` and `token` subcommands: which, "add", "remove" or "list",
    // and the name.
    std::string manage;
    std::string manageAction;
    std::string manageName;
    std::filesystem::path data;
    Listener service{8443, {}, {}};
    std::string listen = "127.0.0.1";
    // A reverse proxy in front, speaking for many clients: its connections
    // count only to the total.
    std::string trustedProxy;
    // The address people reach the inbox by, "https://notify.example.org":
    // its name passes the Host guard, and forwarded notes link there.
    std::string publicUrl;
    bool http = false;
    std::string page = "open";
    std::string logLevel =
        "info";  // error, warning, info or debug  // open, password or off: see PageMode
    std::vector<std::string> tokens;
    std::int64_t keep = 1000;
    int notesPerMinute = 0;                            // for each token; 0: no limit
    std::map<std::string, int> notesPerMinuteByToken;  // named tokens' own numbers
    std::uint64_t maxImageBytes = 10 * 1024 * 1024;
    // Where every note is carried on to, one URL each (they may hold secrets).
    std::vector<std::string> forward;  // for every token
    std::vector<Route> routes;         // from the config file
    bool forwardFromCommandLine = false;
    std::string forwardCa;  // trusted for the receivers instead of the system's CAs
    std::chrono::seconds forwardGiveUp{24 * 3600};
    ChaosSettings chaos;
    Lifetime lifetime;
};

// Parses the command line, after the config file that --config names.
// Returns nothing when the program should end instead: after --help
// (exitCode 0), or a usage or config error (exitCode 2).
std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode);

}  // namespace pushnote::inbox
