#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "delivery_queue.h"
#include "note_store.h"
#include "options.h"

namespace pushnote::inbox {

// Which destinations a note goes to, by the name of its token; replaced as a
// whole when the config file is read again.
class ForwardRoutes {
public:
    struct Rule {
        std::vector<std::string> tokens;  // names; "*" for any token, named or not
        std::vector<DeliveryTarget> targets;
    };

    void Replace(std::vector<Rule> rules);
    // Each destination once, however many rules name it.
    std::vector<DeliveryTarget> TargetsFor(const std::optional<std::string>& tokenName) const;
    std::vector<DeliveryTarget> All() const;

private:
    mutable std::mutex mutex_;
    std::vector<Rule> rules_;
};

struct Forwarding {
    std::vector<NamedDestination> destinations;
    std::vector<ForwardRoutes::Rule> rules;
    std::string error;  // the first URL refused and why; never holds a secret
};

// The destinations of --forward (for any token) and of the config's routes,
// each parsed once.
Forwarding BuildForwarding(const Options& options);

}  // namespace pushnote::inbox
