#include "sndkit/SampleRounding.h"

#include <gtest/gtest.h>

#include <limits>

namespace vsr::sndkit {
namespace {

// Clamped to +-32000 (not the full range), then floor(x + 0.5); NaN becomes silence.
TEST(SampleRounding, ClampsThenRoundsHalvesUpward) {
    constexpr float inf = std::numeric_limits<float>::infinity();
    const std::pair<float, int> cases[] = {
        {40000.0f, 32000},
        {-32768.0f, -32000},
        {31999.6f, 32000},
        {inf, 32000},
        {-inf, -32000},
        {-0.5f, 0},
        {2.5f, 3},
        {-2.5f, -2},
        {-2.51f, -3},
        {-1.2f, -1},
        // Just below one half: in float arithmetic x + 0.5 would round up to 1.
        {0.49999997f, 0},
        {std::numeric_limits<float>::quiet_NaN(), 0}};
    for (const auto& [sample, expected] : cases)
        EXPECT_EQ(RoundDecodedSample(sample), expected) << sample;
}

} // namespace
} // namespace vsr::sndkit
