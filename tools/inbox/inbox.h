#pragma once

#include <cstddef>
#include <cstdint>
#include <semaphore>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "chaos.h"
#include "delivery_queue.h"
#include "event_hub.h"
#include "forward_routes.h"
#include "note_rate_limit.h"
#include "note_store.h"
#include "public_name.h"
#include "sessions.h"
#include "token_store.h"
#include "user_store.h"

namespace pushnote::inbox {

// The longest message a note may have, in bytes of UTF-8: the largest a
// notification can usefully show, with room to spare.
constexpr std::uint64_t kMaxMessageBytes = 64 * 1024;
// The longest body of the other API requests (the chaos settings).
constexpr std::uint64_t kApiBodyBytes = 64 * 1024;

// Who may see the page and the API beside /api/notify and /api/health:
// Open lets loopback clients in without a login, Password asks everyone,
// Off serves nothing else.
enum class PageMode { Open, Password, Off };

struct PageLock {
    // Each password check takes tens of MiB and a tenth of a second: only so many at once.
    static constexpr std::ptrdiff_t kConcurrentChecks = 2;

    PageMode mode = PageMode::Open;
    UserStore* users = nullptr;
    Sessions sessions;
    LoginThrottle throttle;
    std::counting_semaphore<kConcurrentChecks> checks{kConcurrentChecks};
};

// What the routes share: the store, the live events and the run-time settings.
struct Inbox {
    NoteStore& store;
    EventHub& events;
    Chaos& chaos;
    // The SHA-256 (hex) of each --token; with no named ones either, any token from
    // this machine is taken, for development.
    std::set<std::string> tokenDigests;
    std::uint64_t maxImageBytes = 0;
    bool loopbackOnly = true;  // answer only requests addressed to a loopback name
    // Where each accepted note is carried on to, and who carries it.
    ForwardRoutes* routes = nullptr;
    DeliveryQueue* deliveries = nullptr;
    PageLock* pageLock = nullptr;          // nullptr: every route open, as in the unit tests
    std::string trustedProxy;              // see ClientAddress
    std::optional<PublicName> publicName;  // answered beside loopback names
    TokenStore* namedTokens = nullptr;
    NoteRateLimit* noteLimit = nullptr;  // nullptr: no limit at all
};

// JSON text on one line; bytes that are not UTF-8 become U+FFFD.
inline std::string Dump(const nlohmann::ordered_json& value) {
    return value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace pushnote::inbox
