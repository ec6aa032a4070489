#include "forward_routes.h"

#include <algorithm>
#include <set>

#include "destination_list.h"

namespace pushnote::inbox {
namespace {

void AddOnce(std::vector<DeliveryTarget>& targets, const DeliveryTarget& target) {
    if (std::none_of(targets.begin(), targets.end(),
                     [&](const DeliveryTarget& had) { return had.key == target.key; })) {
        targets.push_back(target);
    }
}

}  // namespace

void ForwardRoutes::Replace(std::vector<Rule> rules) {
    std::lock_guard lock(mutex_);
    rules_ = std::move(rules);
}

std::vector<DeliveryTarget> ForwardRoutes::TargetsFor(
    const std::optional<std::string>& tokenName) const {
    std::lock_guard lock(mutex_);
    std::vector<DeliveryTarget> targets;
    for (const Rule& rule : rules_) {
        const bool applies =
            std::any_of(rule.tokens.begin(), rule.tokens.end(), [&](const std::string& name) {
                return name == "*" || (tokenName && name == *tokenName);
            });
        if (!applies) continue;
        for (const DeliveryTarget& target : rule.targets) AddOnce(targets, target);
    }
    return targets;
}

std::vector<DeliveryTarget> ForwardRoutes::All() const {
    std::lock_guard lock(mutex_);
    std::vector<DeliveryTarget> targets;
    for (const Rule& rule : rules_) {
        for (const DeliveryTarget& target : rule.targets) AddOnce(targets, target);
    }
    return targets;
}

Forwarding BuildForwarding(const Options& options) {
    std::vector<Route> routes = options.routes;
    if (!options.forward.empty()) routes.insert(routes.begin(), Route{{"*"}, options.forward});
    // One destination for each URL, whichever routes name it.
    std::vector<std::string> urls;
    for (const Route& route : routes) {
        for (const std::string& url : route.forward) {
            if (std::find(urls.begin(), urls.end(), url) == urls.end()) urls.push_back(url);
        }
    }
    DestinationList list = ParseDestinationList(urls);
    Forwarding forwarding;
    if (!list.error.empty()) {
        forwarding.error = list.error;
        return forwarding;
    }
    for (const Route& route : routes) {
        ForwardRoutes::Rule rule{route.tokens, {}};
        for (const std::string& url : route.forward) {
            const std::size_t at =
                static_cast<std::size_t>(std::find(urls.begin(), urls.end(), url) - urls.begin());
            const NamedDestination& named = list.destinations[at];
            rule.targets.push_back({named.key, named.destination->DisplayUrl()});
        }
        forwarding.rules.push_back(std::move(rule));
    }
    forwarding.destinations = std::move(list.destinations);
    return forwarding;
}

}  // namespace pushnote::inbox
