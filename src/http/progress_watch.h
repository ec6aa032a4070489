#pragma once

#include <chrono>
#include <cstdint>

namespace pushnote::http {

// Whether a response still moves while its body is read: every period (the
// compiled-in timeout) must bring at least kMinBytesPerPeriod bytes. A peer
// that trickles bytes keeps each single read alive, so only the amount that
// arrives per period tells a working answer from one that holds the caller.
class ProgressWatch {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::uint64_t kMinBytesPerPeriod = 1024;

    ProgressWatch(std::chrono::milliseconds period, Clock::time_point start) noexcept
        : period_(period), start_(start), periodStart_(start) {}

    // Counts count bytes received by now; false once a whole period has
    // passed that brought fewer than kMinBytesPerPeriod bytes.
    bool Moving(std::uint64_t count, Clock::time_point now) noexcept {
        periodBytes_ += count;
        if (now - periodStart_ < period_) return true;
        if (periodBytes_ < kMinBytesPerPeriod) return false;
        periodStart_ = now;
        periodBytes_ = 0;
        return true;
    }

    // True once the whole watch has lasted a period or longer.
    bool PeriodPassed(Clock::time_point now) const noexcept { return now - start_ >= period_; }

private:
    std::chrono::milliseconds period_;
    Clock::time_point start_;
    Clock::time_point periodStart_;
    std::uint64_t periodBytes_ = 0;
};

}  // namespace pushnote::http
