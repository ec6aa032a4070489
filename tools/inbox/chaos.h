#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace pushnote::inbox {

// How the service misbehaves on purpose; 0 and false switch a setting off.
struct ChaosSettings {
    int status = 0;        // answer every note with this status
    int delayMs = 0;       // wait this long before answering
    bool silent = false;   // never answer
    bool trickle = false;  // send the answer's body a byte at a time
    int failEvery = 0;     // every Nth note gets 500
    int rateLimit = 0;     // more notes than this in a minute get 429
};

nlohmann::ordered_json ToJson(const ChaosSettings& settings);

// The answer chosen for one note.
struct ChaosDecision {
    int status = 200;
    std::string reason;  // the setting that decided, empty when none did
    int retryAfterSeconds = 0;
    int delayMs = 0;
    bool silent = false;
    bool trickle = false;
};

class Chaos {
public:
    using Clock = std::chrono::steady_clock;

    explicit Chaos(ChaosSettings settings) : settings_(settings) {}

    ChaosSettings Settings() const;
    // Changes the settings named in the object; an unknown name or a wrong
    // value changes nothing and is described in the returned text.
    std::string Update(const nlohmann::ordered_json& changes);
    // Counts the note and decides its answer.
    ChaosDecision Decide(Clock::time_point now);

private:
    mutable std::mutex mutex_;
    ChaosSettings settings_;
    std::uint64_t notes_ = 0;
    std::deque<Clock::time_point> window_;  // notes let through in the last minute
};

}  // namespace pushnote::inbox
