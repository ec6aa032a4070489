#include "destination_list.h"

#include <map>

#include "text_encoding.h"
#include "url_parts.h"

namespace pushnote::inbox {
namespace {

// The URL without its password: what tells one destination from another.
std::string WithoutPassword(const std::string& url) {
    const UrlParts parts = *SplitUrl(url).parts;
    std::string text = parts.scheme + "://";
    if (parts.hasUser) text += parts.user + "@";
    text += HostAndPort(parts) + parts.path;
    for (const auto& [key, value] : parts.query) text += "&" + key + "=" + value;
    return text;
}

}  // namespace

DestinationList ParseDestinationList(const std::vector<std::string>& urls) {
    DestinationList list;
    std::map<std::string, std::size_t> keys;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        DestinationParse parsed = ParseDestination(urls[i]);
        if (!parsed.destination) {
            list.error = "forward destination " + std::to_string(i + 1) + ": " + parsed.error;
            list.destinations.clear();
            return list;
        }
        std::string key = parsed.destination->DisplayUrl();
        key.append(" #").append(Sha256Hex(WithoutPassword(urls[i])).substr(0, 16));
        if (const auto [had, added] = keys.emplace(key, i + 1); !added) {
            list.error = "forward destinations " + std::to_string(had->second) + " and " +
                         std::to_string(i + 1) + " differ only in their password";
            list.destinations.clear();
            return list;
        }
        list.destinations.push_back({std::move(key), std::move(parsed.destination)});
    }
    return list;
}

}  // namespace pushnote::inbox
