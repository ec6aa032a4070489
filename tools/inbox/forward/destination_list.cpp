#include "destination_list.h"

#include <map>

namespace pushnote::inbox {

DestinationList ParseDestinationList(const std::vector<std::string>& urls) {
    DestinationList list;
    std::map<std::string, int> seen;
    for (std::size_t i = 0; i < urls.size(); ++i) {
        DestinationParse parsed = ParseDestination(urls[i]);
        if (!parsed.destination) {
            list.error = "forward destination " + std::to_string(i + 1) + ": " + parsed.error;
            list.destinations.clear();
            return list;
        }
        const std::string& shown = parsed.destination->DisplayUrl();
        const int count = ++seen[shown];
        std::string key = count == 1 ? shown : shown + " #" + std::to_string(count);
        list.destinations.push_back({std::move(key), std::move(parsed.destination)});
    }
    return list;
}

}  // namespace pushnote::inbox
