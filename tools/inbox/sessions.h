#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pushnote::inbox {

// The page's logins: each a random cookie value, known here only by its
// SHA-256, ending after kLifetime or at logout. A restart logs everyone out.
class Sessions {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::hours kLifetime{12};
    static constexpr std::size_t kMaxSessions = 1000;

    // The new cookie value.
    std::string Start(const std::string& user);
    // The user of a live session.
    std::optional<std::string> UserOf(std::string_view cookieValue);
    void End(std::string_view cookieValue);

private:
    struct Session {
        std::string user;
        Clock::time_point ends;
    };
    std::mutex mutex_;
    std::map<std::string, Session> sessions_;  // by the value's digest
};

// Slows failed logins per client address: one try at a time, and after a
// failure the next waits 1 s, doubling with each further failure up to a
// minute. A success forgets the address; so does a quarter of an hour
// without a try.
class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;
    // How long the address must still wait; nothing when it may try now, and
    // then the try is the address's only one until Failed or Succeeded.
    std::optional<std::chrono::seconds> Begin(const std::string& address, Clock::time_point now);
    void Failed(const std::string& address, Clock::time_point now);
    void Succeeded(const std::string& address);

private:
    struct Record {
        int failures = 0;
        bool trying = false;
        Clock::time_point next;
        Clock::time_point last;
    };
    Record& RecordOf(const std::string& address, Clock::time_point now);

    static constexpr std::size_t kMaxAddresses = 10000;
    std::mutex mutex_;
    std::map<std::string, Record> records_;
};

}  // namespace pushnote::inbox
