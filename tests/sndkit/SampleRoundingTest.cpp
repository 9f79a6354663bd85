#include "sndkit/SampleRounding.h"

#include <gtest/gtest.h>

#include <limits>

namespace vsr::sndkit {
namespace {

TEST(SampleRounding, ClampsToPlusMinus32000NotToTheFullRange) {
    EXPECT_EQ(RoundDecodedSample(40000.0f), 32000);
    EXPECT_EQ(RoundDecodedSample(-40000.0f), -32000);
    EXPECT_EQ(RoundDecodedSample(32767.0f), 32000);
    EXPECT_EQ(RoundDecodedSample(-32768.0f), -32000);
    EXPECT_EQ(RoundDecodedSample(31999.6f), 32000);
    EXPECT_EQ(RoundDecodedSample(std::numeric_limits<float>::infinity()), 32000);
    EXPECT_EQ(RoundDecodedSample(-std::numeric_limits<float>::infinity()), -32000);
}

TEST(SampleRounding, RoundsHalvesUpward) {
    EXPECT_EQ(RoundDecodedSample(-0.5f), 0);
    EXPECT_EQ(RoundDecodedSample(2.5f), 3);
    EXPECT_EQ(RoundDecodedSample(-2.5f), -2);
    EXPECT_EQ(RoundDecodedSample(-2.51f), -3);
    EXPECT_EQ(RoundDecodedSample(0.49f), 0);
    EXPECT_EQ(RoundDecodedSample(-1.2f), -1);
    // Just below one half: in float arithmetic x + 0.5 would round up to 1.
    EXPECT_EQ(RoundDecodedSample(0.49999997f), 0);
}

TEST(SampleRounding, NotANumberBecomesSilence) {
    EXPECT_EQ(RoundDecodedSample(std::numeric_limits<float>::quiet_NaN()), 0);
}

} // namespace
} // namespace vsr::sndkit
