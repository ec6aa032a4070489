#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pushnote::inbox {

// A destination URL taken apart: scheme://[USER[:PASSWORD]@]HOST[:PORT][/PATH][?QUERY].
// Every part is checked so that none can carry a control character into a
// command line or a header.
struct UrlParts {
    std::string scheme;  // lower case, without "://"
    bool hasUser = false;
    std::string rawUser;  // as written, for showing
    std::string user;     // percent-decoded
    bool hasPassword = false;
    std::string password;  // percent-decoded; never shown
    std::string host;      // a name, an IPv4 address or an IPv6 address without brackets
    std::optional<std::uint16_t> port;
    std::string path;  // as written (escapes kept), "" or starting with '/'
    std::vector<std::pair<std::string, std::string>> query;  // percent-decoded
};

struct UrlSplit {
    std::optional<UrlParts> parts;
    std::string error;  // why it was refused; never holds the password
};

UrlSplit SplitUrl(std::string_view url);

// Every byte but letters, digits and "-._~" as %XX.
std::string PercentEncode(std::string_view text);
// A path's last segment that is not empty: "/a/b/" gives "b".
std::string LastSegment(std::string_view path);

// A host name or IPv4 address of letters, digits, dots and hyphens.
bool IsSafeHost(std::string_view host);
// The host as it goes into a URL: an IPv6 address in brackets.
std::string UrlHost(const std::string& host);
// The host and, when the URL gave one, ":PORT".
std::string HostAndPort(const UrlParts& parts);

}  // namespace pushnote::inbox
