#include "public_name.h"

#include <algorithm>
#include <cctype>

#include "url_parts.h"

namespace pushnote::inbox {

std::optional<PublicName> ParsePublicUrl(std::string_view url) {
    const UrlSplit split = SplitUrl(url);
    if (!split.parts) return std::nullopt;
    const UrlParts& parts = *split.parts;
    if ((parts.scheme != "https" && parts.scheme != "http") || parts.hasUser ||
        !parts.query.empty() || (!parts.path.empty() && parts.path != "/") ||
        parts.host.find(':') != std::string::npos) {
        return std::nullopt;
    }
    PublicName name{parts.host, parts.port.value_or(parts.scheme == "https" ? 443 : 80)};
    std::transform(name.name.begin(), name.name.end(), name.name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

bool IsPublicHost(std::string_view host, const PublicName& name) {
    std::string_view given = host;
    if (const std::size_t colon = host.rfind(':'); colon != std::string_view::npos) {
        if (host.substr(colon + 1) != std::to_string(name.port)) return false;
        given = host.substr(0, colon);
    }
    return given.size() == name.name.size() &&
           std::equal(given.begin(), given.end(), name.name.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

}  // namespace pushnote::inbox
