#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wall_clock.h"

namespace pushnote::inbox {

// One note on its way to one destination.
struct Delivery {
    enum class State { Queued, Delivered, Failed };
    std::int64_t id = 0;
    std::int64_t noteId = 0;
    // Which destination (see ParseDestinationList): never a secret, and
    // found again after a restart.
    std::string destinationKey;
    std::string destination;  // the shown URL, secrets replaced by "***"
    State state = State::Queued;
    int attempts = 0;
    std::optional<std::int64_t> nextAttemptMs;  // while queued
    std::string lastAnswer;
    std::int64_t createdMs = 0;  // when it was queued; the give-up time counts from here
    std::optional<std::int64_t> deliveredMs;
};

const char* StateName(Delivery::State state);
std::optional<Delivery::State> StateFromName(const std::string& name);

}  // namespace pushnote::inbox
