#pragma once

#include <cstdint>

namespace pushnote {

// Where the notify API lives: compiled into the exports, passed in by tests.
struct ServiceEndpoint {
    const char* host;
    std::uint16_t port;
};

}  // namespace pushnote
