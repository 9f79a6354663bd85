#include "render/Geometry.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

TEST(FitRect, PictureInAPanelOfItsOwnSizeLosesOnePixelEachWay) {
    EXPECT_EQ(FitRect(800, 600, 800, 600), (TRect{0, 0, 799, 599}));
}

TEST(FitRect, WidePanelCentresHorizontally) {
    // PW 999, PH 599: W = 599 * 4 / 3 = 798.67 -> 799, left (999 - 799) div 2.
    EXPECT_EQ(FitRect(1000, 600, 800, 600), (TRect{100, 0, 899, 599}));
}

TEST(FitRect, TallPanelCentresVertically) {
    // PW 799, PH 999: H = 799 * 3 / 4 = 599.25 -> 599, top (999 - 599) div 2.
    EXPECT_EQ(FitRect(800, 1000, 800, 600), (TRect{0, 200, 799, 799}));
}

TEST(FitRect, HalvesRoundToTheEvenNeighbour) {
    // 3 x 2 picture, PH 7: W = 10.5 -> 10; PH 5: W = 7.5 -> 8.
    EXPECT_EQ(FitRect(101, 8, 3, 2), (TRect{45, 0, 55, 7}));
    EXPECT_EQ(FitRect(101, 6, 3, 2), (TRect{46, 0, 54, 5}));
    // 2 x 3 picture, PW 5: H = 7.5 -> 8; top (99 - 8) div 2 = 45.
    EXPECT_EQ(FitRect(6, 100, 2, 3), (TRect{0, 45, 5, 53}));
}

TEST(FitRect, EqualAspectsTakeThePanelWidth) {
    EXPECT_EQ(FitRect(401, 301, 800, 600), (TRect{0, 0, 400, 300}));
}

TEST(FitRect, DegenerateSizesGiveAnEmptyRectangle) {
    EXPECT_TRUE(FitRect(800, 600, 0, 600).Empty());
    EXPECT_TRUE(FitRect(800, 600, 800, 0).Empty());
    EXPECT_TRUE(FitRect(0, 0, 800, 600).Empty());
    EXPECT_TRUE(FitRect(1, 1, 800, 600).Empty());
    EXPECT_TRUE(FitRect(-5, 600, 800, 600).Empty());
    // One row of panel: PH 0, nothing to draw into but no failure either.
    EXPECT_TRUE(FitRect(800, 1, 800, 600).Empty());
}

TEST(RoundHalfEven, RoundsToNearestAndHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(2.5), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(2.51), 3);
    EXPECT_EQ(RoundHalfEven(2.49), 2);
    EXPECT_EQ(RoundHalfEven(-0.5), 0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2);
    EXPECT_EQ(RoundHalfEven(-1.6), -2);
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
}

TEST(BlackBars, WidePanelHasBarsLeftAndRight) {
    const auto bars = BlackBars(FitRect(1000, 600, 800, 600), 1000, 600);
    EXPECT_EQ(bars[0], (TRect{0, 0, 100, 600}));
    EXPECT_TRUE(bars[1].Empty());
    EXPECT_EQ(bars[2], (TRect{100, 599, 899, 600})); // the one row step 1 leaves out
    EXPECT_EQ(bars[3], (TRect{899, 0, 1000, 600}));
}

TEST(BlackBars, TallPanelHasBarsAboveAndBelow) {
    const auto bars = BlackBars(FitRect(800, 1000, 800, 600), 800, 1000);
    EXPECT_TRUE(bars[0].Empty());
    EXPECT_EQ(bars[1], (TRect{0, 0, 799, 200}));
    EXPECT_EQ(bars[2], (TRect{0, 799, 799, 1000}));
    EXPECT_EQ(bars[3], (TRect{799, 0, 800, 1000}));
}

TEST(CursorRect, AtHalfSizeTheCursorIs16By16) {
    const TRect fit = FitRect(401, 301, 800, 600);
    EXPECT_EQ(CursorRect(100, 50, 32, 32, fit, 800, 600), (TRect{50, 25, 66, 41}));
    EXPECT_EQ(CursorRect(101, 51, 32, 32, fit, 800, 600), (TRect{50, 25, 66, 41}));
}

TEST(CursorRect, MultipliesBeforeItDivides) {
    // 3 * 799 div 800 = 2, where dividing first would give 0.
    EXPECT_EQ(CursorRect(3, 3, 32, 32, TRect{0, 0, 799, 599}, 800, 600), (TRect{2, 2, 34, 34}));
}

TEST(CursorRect, FollowsThePicturesOffset) {
    const TRect fit = FitRect(1000, 600, 800, 600); // {100, 0, 899, 599}
    // 400 * 799 div 800 + 100 = 499; (400 + 32) * 799 div 800 + 100 = 531.
    EXPECT_EQ(CursorRect(400, 0, 32, 32, fit, 800, 600), (TRect{499, 0, 531, 31}));
}

TEST(CursorRect, NaturalSizeKeepsTheCursorSize) {
    EXPECT_EQ(CursorRect(65535, 7, 32, 32, TRect{0, 0, 1024, 768}, 1024, 768),
              (TRect{65535, 7, 65567, 39}));
    EXPECT_TRUE(CursorRect(5, 5, 32, 32, TRect{0, 0, 10, 10}, 0, 10).Empty());
}

TEST(NaturalPanelPosition, CentresAboveTheControls) {
    EXPECT_EQ(NaturalPanelPosition(1000, 800, 800, 600, 40), (TPoint{100, 80}));
    EXPECT_EQ(NaturalPanelPosition(1000, 800, 800, 600, 0), (TPoint{100, 100}));
    EXPECT_EQ(NaturalPanelPosition(1001, 801, 800, 600, 0), (TPoint{100, 100}));
}

TEST(NaturalPanelPosition, LargerPanelStaysAtTheOrigin) {
    EXPECT_EQ(NaturalPanelPosition(640, 480, 1024, 768, 40), (TPoint{0, 0}));
    EXPECT_EQ(NaturalPanelPosition(1100, 620, 1024, 600, 40), (TPoint{38, 0}));
}

TEST(CentredOrigin, TruncatesTowardZero) {
    EXPECT_EQ(CentredOrigin(10, 6, 15, 9), (TPoint{-2, -1}));
    EXPECT_EQ(CentredOrigin(10, 7, 3, 2), (TPoint{3, 2}));
}

} // namespace
} // namespace vsr
