#include "sessions.h"

#include <openssl/rand.h>

#include <algorithm>
#include <array>
#include <stdexcept>

#include "text_encoding.h"

namespace pushnote::inbox {
namespace {

constexpr std::chrono::minutes kForgetAfter{15};
constexpr std::chrono::seconds kLongestWait{60};

}  // namespace

std::string Sessions::Start(const std::string& user) {
    std::array<unsigned char, 32> random{};
    if (RAND_bytes(random.data(), static_cast<int>(random.size())) != 1) {
        throw std::runtime_error("no random bytes for a session");
    }
    const std::string value = Hex({reinterpret_cast<const char*>(random.data()), random.size()});
    const Clock::time_point now = Clock::now();
    std::lock_guard lock(mutex_);
    std::erase_if(sessions_, [now](const auto& entry) { return entry.second.ends <= now; });
    if (sessions_.size() >= kMaxSessions) {
        sessions_.erase(std::min_element(
            sessions_.begin(), sessions_.end(),
            [](const auto& a, const auto& b) { return a.second.ends < b.second.ends; }));
    }
    sessions_[Sha256Hex(value)] = {user, now + kLifetime};
    return value;
}

std::optional<std::string> Sessions::UserOf(std::string_view cookieValue) {
    if (cookieValue.size() != 64) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto found = sessions_.find(Sha256Hex(cookieValue));
    if (found == sessions_.end() || found->second.ends <= Clock::now()) return std::nullopt;
    return found->second.user;
}

void Sessions::End(std::string_view cookieValue) {
    std::lock_guard lock(mutex_);
    sessions_.erase(Sha256Hex(cookieValue));
}

// Called with the mutex held.
LoginThrottle::Record& LoginThrottle::RecordOf(const std::string& address, Clock::time_point now) {
    std::erase_if(records_,
                  [now](const auto& entry) { return now - entry.second.last > kForgetAfter; });
    if (records_.size() >= kMaxAddresses && !records_.contains(address)) {
        records_.erase(std::min_element(
            records_.begin(), records_.end(),
            [](const auto& a, const auto& b) { return a.second.last < b.second.last; }));
    }
    Record& record = records_[address];
    record.last = now;
    return record;
}

std::optional<std::chrono::seconds> LoginThrottle::Begin(const std::string& address,
                                                         Clock::time_point now) {
    std::lock_guard lock(mutex_);
    const auto found = records_.find(address);
    if (found != records_.end() && found->second.trying) return std::chrono::seconds(1);
    if (found != records_.end() && found->second.next > now) {
        return std::chrono::ceil<std::chrono::seconds>(found->second.next - now);
    }
    RecordOf(address, now).trying = true;
    return std::nullopt;
}

void LoginThrottle::Failed(const std::string& address, Clock::time_point now) {
    std::lock_guard lock(mutex_);
    Record& record = RecordOf(address, now);
    record.trying = false;
    record.failures = std::min(record.failures + 1, 7);
    record.next = now + std::min<std::chrono::seconds>(
                            std::chrono::seconds(1 << (record.failures - 1)), kLongestWait);
}

void LoginThrottle::Succeeded(const std::string& address) {
    std::lock_guard lock(mutex_);
    records_.erase(address);
}

}  // namespace pushnote::inbox
