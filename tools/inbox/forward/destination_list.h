#pragma once

#include <string>
#include <vector>

#include "delivery_queue.h"

namespace pushnote::inbox {

struct DestinationList {
    std::vector<NamedDestination> destinations;
    std::string error;  // the first URL refused and why; never holds a secret
};

// Every URL parsed, each keyed by its shown URL and a digest of all but its
// password ("json://hooks.example.org/*** #1f0c…"): a changed password keeps
// the queue, and two that look alike never swap deliveries, however the list
// is reordered. Two URLs that differ only in their password are refused.
DestinationList ParseDestinationList(const std::vector<std::string>& urls);

}  // namespace pushnote::inbox
