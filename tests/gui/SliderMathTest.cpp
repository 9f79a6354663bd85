// Rounding of the slider bars: halves go to the even neighbour, also below zero.
#include "controls/SliderMath.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vsr {
namespace {

TEST(DivRoundHalfEven, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(DivRoundHalfEven(5, 2), 2);
    EXPECT_EQ(DivRoundHalfEven(7, 2), 4);
    EXPECT_EQ(DivRoundHalfEven(3, 2), 2);
    EXPECT_EQ(DivRoundHalfEven(-5, 2), -2);
    EXPECT_EQ(DivRoundHalfEven(-3, 2), -2);
}

TEST(DivRoundHalfEven, OtherFractionsGoToTheNearest) {
    EXPECT_EQ(DivRoundHalfEven(9, 4), 2);
    EXPECT_EQ(DivRoundHalfEven(11, 4), 3);
    EXPECT_EQ(DivRoundHalfEven(-9, 4), -2);
    EXPECT_EQ(DivRoundHalfEven(-11, 4), -3);
    EXPECT_EQ(DivRoundHalfEven(12, 4), 3);
}

TEST(SteppedValue, RoundsToAMultipleOfTheStepBeforeMoving) {
    EXPECT_EQ(SteppedValue(15, 10, 1, 0, 100), 30);  // 1.5 -> 2
    EXPECT_EQ(SteppedValue(25, 10, 1, 0, 100), 30);  // 2.5 -> 2
    EXPECT_EQ(SteppedValue(25, 10, -1, 0, 100), 10); // 2.5 -> 2
    EXPECT_EQ(SteppedValue(35, 10, -1, 0, 100), 30); // 3.5 -> 4
    EXPECT_EQ(SteppedValue(34, 10, 1, 0, 100), 40);
}

TEST(SteppedValue, IsClampedIntoTheRange) {
    EXPECT_EQ(SteppedValue(95, 10, 1, 0, 100), 100);
    EXPECT_EQ(SteppedValue(3, 10, -1, 0, 100), 0);
    constexpr std::int32_t top = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(SteppedValue(top, top, 1, 0, top), top);
    EXPECT_EQ(SteppedValue(-95, 10, -1, -100, 100), -100);
}

} // namespace
} // namespace vsr
