// The strips reach the target in order and whole, on whichever thread; a
// refusal by the target stops the writer; every way out joins the thread.
#include "image/pipelined_sink_posix.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace pushnote::image {
namespace {

constexpr std::uint32_t kWidth = 5;

// Keeps what it is given; refuses the strip numbered refuseAt (from 1).
class RecordingTarget final : public ScanlineSink {
public:
    explicit RecordingTarget(int refuseAt) : refuseAt_(refuseAt) {}
    bool Start(std::uint32_t, std::uint32_t) noexcept override { return true; }
    bool Write(const unsigned char* rows, std::uint32_t rowCount) noexcept override {
        if (++strips_ == refuseAt_) return false;
        bytes.append(reinterpret_cast<const char*>(rows), std::size_t{rowCount} * kWidth * 3);
        return true;
    }
    std::string bytes;

private:
    int refuseAt_;
    int strips_ = 0;
};

struct PipelineCase {
    const char* name;
    std::uint32_t rows;         // written 7 at a time, split into strips of at most 16
    int refuseAt;               // 0: never
    bool finish;                // false: left to the destructor, as after a failed decode
    bool expectWritesAccepted;  // every Write returned true
    bool expectFinished;
};

const PipelineCase kCases[] = {
    {"all_rows_in_order", 300, 0, true, true, true},
    {"refused_strip_stops_the_writer", 3000, 2, true, false, false},
    {"abandoned_midway", 300, 0, false, true, false},
};

class PipelinedSinkTest : public ::testing::TestWithParam<PipelineCase> {};

TEST_P(PipelinedSinkTest, DeliversOrStopsAndAlwaysJoins) {
    const PipelineCase& c = GetParam();
    std::string expected;
    for (std::uint32_t row = 0; row < c.rows; ++row) {
        expected.append(kWidth * 3, static_cast<char>(row * 7 % 251));
    }
    RecordingTarget target(c.refuseAt);
    bool accepted = true;
    bool finished = false;
    {
        PipelinedSink pipeline(target);
        ASSERT_TRUE(pipeline.Start(kWidth, c.rows));
        for (std::uint32_t row = 0; row < c.rows && accepted; row += 7) {
            const std::uint32_t count = std::min<std::uint32_t>(7, c.rows - row);
            accepted = pipeline.Write(
                reinterpret_cast<const unsigned char*>(expected.data()) + row * kWidth * 3, count);
        }
        if (c.finish) finished = pipeline.Finish();
    }
    EXPECT_EQ(accepted, c.expectWritesAccepted);
    EXPECT_EQ(finished, c.expectFinished);
    if (c.expectFinished) {
        EXPECT_TRUE(target.bytes == expected);
    } else {
        // What arrived is a beginning of the picture, nothing out of order.
        EXPECT_TRUE(expected.compare(0, target.bytes.size(), target.bytes) == 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Pipelines, PipelinedSinkTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace pushnote::image
