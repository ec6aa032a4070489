#pragma once

#include <string>

#include <httplib.h>

namespace pushnote::inbox {

// The address of the client a request comes from: the connection's peer,
// or, when that peer is the trusted proxy (an address; empty for none), the
// last address the proxy added to X-Forwarded-For.
std::string ClientAddress(const httplib::Request& request, const std::string& trustedProxy);

// Whether an address (as ClientAddress gives it) is this machine's loopback.
bool IsLoopbackAddress(const std::string& address);

}  // namespace pushnote::inbox
