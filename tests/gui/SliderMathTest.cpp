// Rounding of the slider bars: halves go to the even neighbour, also below zero.
#include "controls/SliderMath.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vsr {
namespace {

TEST(DivRoundHalfEven, HalvesGoToTheEvenNeighbourOthersToTheNearest) {
    const std::int64_t cases[][3] = {{5, 2, 2},  {7, 2, 4},   {-5, 2, -2},  {-3, 2, -2},
                                     {11, 4, 3}, {-9, 4, -2}, {-11, 4, -3}, {12, 4, 3}};
    for (const auto& [value, divisor, expected] : cases)
        EXPECT_EQ(DivRoundHalfEven(value, divisor), expected) << value << "/" << divisor;
}

TEST(SteppedValue, RoundsToAMultipleOfTheStepThenMovesWithinTheRange) {
    constexpr std::int32_t top = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(SteppedValue(15, 10, 1, 0, 100), 30);  // 1.5 -> 2
    EXPECT_EQ(SteppedValue(25, 10, -1, 0, 100), 10); // 2.5 -> 2
    EXPECT_EQ(SteppedValue(34, 10, 1, 0, 100), 40);
    EXPECT_EQ(SteppedValue(95, 10, 1, 0, 100), 100);
    EXPECT_EQ(SteppedValue(top, top, 1, 0, top), top);
    EXPECT_EQ(SteppedValue(-95, 10, -1, -100, 100), -100);
}

} // namespace
} // namespace vsr
