#pragma once

#include <optional>
#include <string>

#include "lifetime.h"
#include "listener.h"

namespace pushnote::test_service {

struct Options {
    std::string listen = "127.0.0.1";
    inbox::Listener service;
    std::optional<inbox::Listener> expired;  // a second listener, for an expired certificate
    std::string recordDir;                   // empty: nothing recorded
    inbox::Lifetime lifetime;
};

// Parses the command line. Returns nothing when the program should end
// instead: after --help (exitCode 0) or a usage error (exitCode 2).
std::optional<Options> ParseOptions(int argc, char** argv, int& exitCode);

}  // namespace pushnote::test_service
