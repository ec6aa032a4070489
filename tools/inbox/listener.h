#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include <httplib.h>

namespace pushnote::inbox {

// One port to listen on, with its certificate.
struct Listener {
    std::uint16_t port = 0;
    std::string cert;  // empty: the inbox's own certificate
    std::string key;
};

// What every listener of one process shares.
struct ServerSettings {
    std::string program;  // names the process in its messages
    std::string listen;   // address to listen on
    bool http = false;    // plain HTTP instead of HTTPS
    std::uint64_t maxBodyBytes = 0;
};

bool IsLoopback(const std::string& address);

// A server bound to the listener's port, serving what installRoutes adds; it
// accepts connections once listen_after_bind runs.
std::unique_ptr<httplib::Server> OpenListener(
    const ServerSettings& settings, const Listener& listener,
    const std::function<void(httplib::Server&)>& installRoutes);

}  // namespace pushnote::inbox
