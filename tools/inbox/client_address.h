#pragma once

#include <string>

#include <httplib.h>

namespace pushnote::inbox {

// The address of the client a request comes from: the connection's peer,
// or, when that peer is the trusted proxy (an address; empty for none), the
// last address the proxy added to X-Forwarded-For (kUnknownClient when it
// added none that reads as an address).
std::string ClientAddress(const httplib::Request& request, const std::string& trustedProxy);
inline constexpr const char* kUnknownClient = "unknown";

// A request from this machine, addressed to it by a loopback name: not one
// that a proxy on this machine passes on for a public name.
bool IsLocalRequest(const httplib::Request& request, const std::string& trustedProxy);

// What one client holds: an IPv4 address, or an IPv6 address's /64, which
// one subscriber usually has whole.
std::string AddressBlock(const std::string& address);

// Whether an address (as ClientAddress gives it) is this machine's loopback.
bool IsLoopbackAddress(const std::string& address);

}  // namespace pushnote::inbox
