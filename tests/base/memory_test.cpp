#include "base/memory.h"

#include <gtest/gtest.h>

#include "support/memory_probe.h"

namespace pushnote {
namespace {

TEST(Buffer, ZeroBytesCountsAsFailure) {
    EXPECT_FALSE(Buffer::Obtain(0));
}

TEST(Buffer, ObtainZeroedFillsWithZeros) {
    Buffer buffer = Buffer::ObtainZeroed(64);
    ASSERT_TRUE(buffer);
    for (std::size_t i = 0; i < buffer.size(); ++i) EXPECT_EQ(buffer.data()[i], 0);
}

TEST(Buffer, MoveTransfersOwnershipAndReleasesOnce) {
    testing::MemoryProbe probe;
    {
        Buffer first = Buffer::Obtain(8);
        Buffer second = std::move(first);
        EXPECT_FALSE(first);
        EXPECT_TRUE(second);
        second = Buffer::Obtain(16);
        EXPECT_EQ(probe.Outstanding(), 1u);
    }
    EXPECT_EQ(probe.Outstanding(), 0u);
    EXPECT_EQ(probe.Requests(), 2);
}

TEST(Buffer, FailedRequestYieldsEmptyBuffer) {
    testing::MemoryProbe probe(2);
    Buffer first = Buffer::Obtain(8);
    Buffer second = Buffer::Obtain(8);
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
}

}  // namespace
}  // namespace pushnote
