#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace pushnote::stand_in {

struct Listener {
    std::uint16_t port = 0;
    std::string cert;
    std::string key;
};

struct Options {
    Listener service;
    std::optional<Listener> expired;
    std::string recordDir;  // empty: nothing is recorded
    std::string pidFile;    // empty: none is written
    unsigned maxSeconds = 600;
    bool print = false;
};

// Parses the command line. Returns nothing when the program should end
// instead: after --help (exitCode 0) or a usage error (exitCode 2).
std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode);

}  // namespace pushnote::stand_in
