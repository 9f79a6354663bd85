#include "render/Geometry.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

TEST(FitRect, CentresAndRoundsHalvesToTheEvenNeighbour) {
    struct TCase {
        std::int32_t PanelWidth, PanelHeight, Width, Height;
        TRect Expected;
    };
    const TCase cases[] = {
        {800, 600, 800, 600, {0, 0, 799, 599}}, // its own size loses one pixel each way
        // PW 999, PH 599: W = 599 * 4 / 3 = 798.67 -> 799, left (999 - 799) div 2.
        {1000, 600, 800, 600, {100, 0, 899, 599}},
        // PW 799, PH 999: H = 799 * 3 / 4 = 599.25 -> 599, top (999 - 599) div 2.
        {800, 1000, 800, 600, {0, 200, 799, 799}},
        // 3 x 2 picture, PH 7: W = 10.5 -> 10; PH 5: W = 7.5 -> 8.
        {101, 8, 3, 2, {45, 0, 55, 7}},
        {101, 6, 3, 2, {46, 0, 54, 5}},
        // 2 x 3 picture, PW 5: H = 7.5 -> 8; top (99 - 8) div 2 = 45.
        {6, 100, 2, 3, {0, 45, 5, 53}},
        {401, 301, 800, 600, {0, 0, 400, 300}}, // equal aspects take the panel width
    };
    for (const TCase& c : cases)
        EXPECT_EQ(FitRect(c.PanelWidth, c.PanelHeight, c.Width, c.Height), c.Expected)
            << c.PanelWidth << " x " << c.PanelHeight << " for " << c.Width << " x " << c.Height;
    // Degenerate sizes give an empty rectangle, without failing.
    EXPECT_TRUE(FitRect(800, 600, 0, 600).Empty());
    EXPECT_TRUE(FitRect(800, 600, 800, 0).Empty());
    EXPECT_TRUE(FitRect(1, 1, 800, 600).Empty());
    EXPECT_TRUE(FitRect(-5, 600, 800, 600).Empty());
    EXPECT_TRUE(FitRect(800, 1, 800, 600).Empty());
}

TEST(RoundHalfEven, RoundsToNearestAndHalvesToEven) {
    const std::pair<double, std::int64_t> cases[] = {{2.5, 2},  {3.5, 4},   {2.51, 3}, {2.49, 2},
                                                     {-0.5, 0}, {-1.5, -2}, {-1.6, -2}};
    for (const auto& [value, rounded] : cases)
        EXPECT_EQ(RoundHalfEven(value), rounded) << value;
}

TEST(BlackBars, CoverEveryPixelOutsideThePictureExactlyOnce) {
    for (const auto& [panelWidth, panelHeight] :
         {std::pair{100, 60}, std::pair{60, 100}, std::pair{81, 61}, std::pair{2, 2}}) {
        const TRect fit = FitRect(panelWidth, panelHeight, 80, 60);
        const auto bars = BlackBars(fit, panelWidth, panelHeight);
        for (std::int32_t y = 0; y < panelHeight; ++y)
            for (std::int32_t x = 0; x < panelWidth; ++x) {
                int covered = 0;
                for (const TRect& r : {fit, bars[0], bars[1], bars[2], bars[3]})
                    covered += x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
                ASSERT_EQ(covered, 1)
                    << panelWidth << "x" << panelHeight << " at " << x << "," << y;
            }
    }
    // A wide panel has bars left and right, a tall one above and below.
    auto bars = BlackBars(FitRect(1000, 600, 800, 600), 1000, 600);
    EXPECT_EQ(bars[0], (TRect{0, 0, 100, 600}));
    EXPECT_TRUE(bars[1].Empty());
    EXPECT_EQ(bars[2], (TRect{100, 599, 899, 600})); // the one row step 1 leaves out
    EXPECT_EQ(bars[3], (TRect{899, 0, 1000, 600}));
    bars = BlackBars(FitRect(800, 1000, 800, 600), 800, 1000);
    EXPECT_TRUE(bars[0].Empty());
    EXPECT_EQ(bars[1], (TRect{0, 0, 799, 200}));
    EXPECT_EQ(bars[2], (TRect{0, 799, 799, 1000}));
    EXPECT_EQ(bars[3], (TRect{799, 0, 800, 1000}));
}

TEST(CursorRect, ScalesWithThePictureMultiplyingBeforeDividing) {
    // At half size the cursor is 16 x 16.
    const TRect half = FitRect(401, 301, 800, 600);
    EXPECT_EQ(CursorRect(100, 50, 32, 32, half, 800, 600), (TRect{50, 25, 66, 41}));
    EXPECT_EQ(CursorRect(101, 51, 32, 32, half, 800, 600), (TRect{50, 25, 66, 41}));
    // 3 * 799 div 800 = 2, where dividing first would give 0.
    EXPECT_EQ(CursorRect(3, 3, 32, 32, TRect{0, 0, 799, 599}, 800, 600), (TRect{2, 2, 34, 34}));
    // 400 * 799 div 800 + 100 = 499; (400 + 32) * 799 div 800 + 100 = 531.
    EXPECT_EQ(CursorRect(400, 0, 32, 32, FitRect(1000, 600, 800, 600), 800, 600),
              (TRect{499, 0, 531, 31}));
    EXPECT_EQ(CursorRect(65535, 7, 32, 32, TRect{0, 0, 1024, 768}, 1024, 768),
              (TRect{65535, 7, 65567, 39}));
    EXPECT_TRUE(CursorRect(5, 5, 32, 32, TRect{0, 0, 10, 10}, 0, 10).Empty());
}

TEST(NaturalPanelPosition, CentresAboveTheControlsOrStaysAtTheOrigin) {
    EXPECT_EQ(NaturalPanelPosition(1000, 800, 800, 600, 40), (TPoint{100, 80}));
    EXPECT_EQ(NaturalPanelPosition(1001, 801, 800, 600, 0), (TPoint{100, 100}));
    EXPECT_EQ(NaturalPanelPosition(640, 480, 1024, 768, 40), (TPoint{0, 0}));
    EXPECT_EQ(NaturalPanelPosition(1100, 620, 1024, 600, 40), (TPoint{38, 0}));
    EXPECT_EQ(CentredOrigin(10, 6, 15, 9), (TPoint{-2, -1})); // truncated toward zero
    EXPECT_EQ(CentredOrigin(10, 7, 3, 2), (TPoint{3, 2}));
}

} // namespace
} // namespace vsr
