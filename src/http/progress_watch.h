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

// The bound on a URL fetch as a whole: from the request sent, its answer,
// head and body, must be in within kPeriods periods. A peer that brings just
// over 1 KiB per period satisfies the ProgressWatch for ever; this ends it.
class FetchDeadline {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kPeriods = 2;

    FetchDeadline(std::chrono::milliseconds period, Clock::time_point sent) noexcept
        : end_(sent + period * kPeriods) {}

    bool Passed(Clock::time_point now) const noexcept { return now >= end_; }

    // How long a single wait may last from now: at most limit, never past the end.
    std::chrono::milliseconds Wait(std::chrono::milliseconds limit,
                                   Clock::time_point now) const noexcept {
        if (Passed(now)) return std::chrono::milliseconds(0);
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end_ - now);
        return left < limit ? left : limit;
    }

private:
    Clock::time_point end_;
};

}  // namespace pushnote::http
