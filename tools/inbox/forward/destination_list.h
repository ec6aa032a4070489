#pragma once

#include <string>
#include <vector>

#include "delivery_queue.h"

namespace pushnote::inbox {

struct DestinationList {
    std::vector<NamedDestination> destinations;
    std::string error;  // the first URL refused and why; never holds a secret
};

// Every URL parsed, each keyed by its shown URL, numbered from the second
// that looks the same ("json://hooks.example.org/*** #2").
DestinationList ParseDestinationList(const std::vector<std::string>& urls);

}  // namespace pushnote::inbox
