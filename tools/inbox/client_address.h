#pragma once

#include <string>

#include <httplib.h>

namespace pushnote::inbox {

// The address a request comes from, for rate limits and login slowing: the
// peer's, or, when the peer is the trusted proxy, the client that proxy
// names last in X-Forwarded-For (the one it appended itself; the entries
// before it are the client's own word). A malformed entry leaves the proxy's.
std::string ClientAddress(const httplib::Request& request, const std::string& trustedProxy);

}  // namespace pushnote::inbox
