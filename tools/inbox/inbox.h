#pragma once

#include <cstdint>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "chaos.h"
#include "event_hub.h"
#include "note_store.h"

namespace pushnote::inbox {

// What the routes share: the store, the live events and the run-time settings.
struct Inbox {
    NoteStore& store;
    EventHub& events;
    Chaos& chaos;
    std::set<std::string> tokens;  // empty: every token is accepted
    std::uint64_t maxImageBytes = 0;
    bool loopbackOnly = true;  // answer only requests addressed to a loopback name
};

// JSON text on one line; bytes that are not UTF-8 become U+FFFD.
inline std::string Dump(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace pushnote::inbox
