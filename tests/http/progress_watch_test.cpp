#include "http/progress_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace pushnote::http {
namespace {

using namespace std::chrono_literals;
using Clock = ProgressWatch::Clock;

struct Read {
    std::chrono::milliseconds at;  // since the watch began
    std::uint64_t bytes;
    bool moving;  // what the watch says after it
};

struct WatchCase {
    const char* name;
    std::vector<Read> reads;
};

class ProgressWatchReads : public ::testing::TestWithParam<WatchCase> {};

TEST_P(ProgressWatchReads, StallsOnlyWhenAPeriodBringsLessThanOneKibibyte) {
    const Clock::time_point start{};
    ProgressWatch watch(3000ms, start);
    for (const Read& read : GetParam().reads) {
        EXPECT_EQ(watch.Moving(read.bytes, start + read.at), read.moving) << read.at.count();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reads, ProgressWatchReads,
    ::testing::Values(
        WatchCase{"fast_body", {{10ms, 4096, true}, {20ms, 4096, true}, {5000ms, 1, true}}},
        WatchCase{"trickle_stalls_after_a_period",
                  {{1000ms, 1, true}, {2000ms, 1, true}, {2999ms, 1, true}, {3000ms, 1, false}}},
        WatchCase{
            "just_enough_per_period",
            {{1500ms, 512, true}, {3000ms, 512, true}, {4500ms, 512, true}, {6000ms, 512, true}}},
        WatchCase{"fast_then_stalled",
                  {{100ms, 100000, true}, {3100ms, 10, true}, {6100ms, 10, false}}},
        WatchCase{"slow_read_after_a_long_wait", {{5000ms, 100, false}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressWatch, PeriodPassedCountsFromTheStart) {
    const Clock::time_point start{};
    ProgressWatch watch(3000ms, start);
    EXPECT_FALSE(watch.PeriodPassed(start + 2999ms));
    EXPECT_TRUE(watch.PeriodPassed(start + 3000ms));
}

// A fetch that drips just over 1 KiB per period moves for ever; the deadline
// ends it two periods after the request, and no wait reaches past that.
TEST(FetchDeadline, EndsTwoPeriodsAfterTheRequestWhateverArrives) {
    const Clock::time_point sent{};
    const FetchDeadline deadline(3000ms, sent);
    struct Moment {
        std::chrono::milliseconds at;
        bool passed;
        std::chrono::milliseconds wait;  // for a limit of one period
    };
    for (const Moment& m :
         {Moment{0ms, false, 3000ms}, Moment{2000ms, false, 3000ms}, Moment{4500ms, false, 1500ms},
          Moment{5999ms, false, 1ms}, Moment{6000ms, true, 0ms}, Moment{9000ms, true, 0ms}}) {
        EXPECT_EQ(deadline.Passed(sent + m.at), m.passed) << m.at.count();
        EXPECT_EQ(deadline.Wait(3000ms, sent + m.at), m.wait) << m.at.count();
    }
}

}  // namespace
}  // namespace pushnote::http
