#include "chaos.h"

namespace pushnote::inbox {
namespace {

using namespace std::chrono_literals;
constexpr auto kRateWindow = 60s;

// Reads a whole number in [minimum, maximum] or a boolean into the field.
bool ReadNumber(const nlohmann::ordered_json& value, int minimum, int maximum, int& field) {
    if (!value.is_number_integer()) return false;
    const auto number = value.get<std::int64_t>();
    if (number < minimum || number > maximum) return false;
    field = static_cast<int>(number);
    return true;
}

bool ReadFlag(const nlohmann::ordered_json& value, bool& field) {
    if (!value.is_boolean()) return false;
    field = value.get<bool>();
    return true;
}

}  // namespace

nlohmann::ordered_json ToJson(const ChaosSettings& settings) {
    return {{"status", settings.status},        {"delay_ms", settings.delayMs},
            {"silent", settings.silent},        {"trickle", settings.trickle},
            {"fail_every", settings.failEvery}, {"rate_limit", settings.rateLimit}};
}

ChaosSettings Chaos::Settings() const {
    std::lock_guard lock(mutex_);
    return settings_;
}

std::string Chaos::Update(const nlohmann::ordered_json& changes) {
    if (!changes.is_object()) return "expected a JSON object of chaos settings";
    std::lock_guard lock(mutex_);
    ChaosSettings next = settings_;
    for (const auto& [name, value] : changes.items()) {
        bool valid = false;
        if (name == "status") {
            valid =
                ReadNumber(value, 0, 599, next.status) && (next.status == 0 || next.status >= 100);
        } else if (name == "delay_ms") {
            valid = ReadNumber(value, 0, 600000, next.delayMs);
        } else if (name == "silent") {
            valid = ReadFlag(value, next.silent);
        } else if (name == "trickle") {
            valid = ReadFlag(value, next.trickle);
        } else if (name == "fail_every") {
            valid = ReadNumber(value, 0, 1000000, next.failEvery);
        } else if (name == "rate_limit") {
            valid = ReadNumber(value, 0, 1000000, next.rateLimit);
        } else {
            return "unknown chaos setting \"" + name + "\"";
        }
        if (!valid) return "invalid value for chaos setting \"" + name + "\"";
    }
    // A new limit counts from now on.
    if (next.rateLimit != settings_.rateLimit) window_.clear();
    settings_ = next;
    return {};
}

ChaosDecision Chaos::Decide(Clock::time_point now) {
    std::lock_guard lock(mutex_);
    ChaosDecision decision;
    decision.delayMs = settings_.delayMs;
    decision.trickle = settings_.trickle;
    ++notes_;
    if (settings_.silent) {
        decision.silent = true;
        decision.status = 0;
        decision.reason = "silent";
        return decision;
    }
    while (!window_.empty() && now - window_.front() >= kRateWindow) window_.pop_front();
    if (settings_.rateLimit > 0 &&
        window_.size() >= static_cast<std::size_t>(settings_.rateLimit)) {
        decision.status = 429;
        decision.reason = "rate_limit";
        const auto wait =
            std::chrono::ceil<std::chrono::seconds>(window_.front() + kRateWindow - now);
        decision.retryAfterSeconds = std::max<int>(1, static_cast<int>(wait.count()));
        return decision;
    }
    window_.push_back(now);
    if (settings_.failEvery > 0 && notes_ % static_cast<std::uint64_t>(settings_.failEvery) == 0) {
        decision.status = 500;
        decision.reason = "fail_every";
    } else if (settings_.status != 0) {
        decision.status = settings_.status;
        decision.reason = "status";
    }
    return decision;
}

}  // namespace pushnote::inbox
