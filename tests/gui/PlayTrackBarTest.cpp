// TPlayTrackBar: the blue intervals, as computed and as painted.
#include "controls/PlayTrackBar.h"

#include <QImage>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <vector>

namespace vsr {
namespace {

constexpr std::int32_t cSoundLength = 15'273'600;
const QSize cBarSize(346, 29);

// The intervals of a voice track whose first two silences occupy 0..67,200 and 896,000..912,000.
void FillWorkedExample(TIntervalList& intervals) {
    intervals.Clear();
    intervals.Add(0, 0);
    intervals.Add(67'200, 896'000);
    intervals.Add(912'000, cSoundLength);
}

TEST(IntervalBands, FollowTheScaleWithSixtyFourBitProducts) {
    TIntervalList intervals;
    FillWorkedExample(intervals);
    // 912,000 * 336 overflows 32 bits: 25.
    const std::vector<TIntervalBand> expected = {{5, 7, 5, 22}, {6, 7, 24, 22}, {25, 7, 341, 22}};
    EXPECT_EQ(IntervalBands(intervals, cSoundLength, cBarSize), expected);
    EXPECT_TRUE(IntervalBands(intervals, 0, cBarSize).empty());
    EXPECT_TRUE(IntervalBands(intervals, -10, cBarSize).empty());
}

class PlayTrackBarTest : public ::testing::Test {
protected:
    PlayTrackBarTest() {
        FBar.resize(cBarSize);
        FBar.SetMax(cSoundLength);
        FBar.SetFrequency(cSoundLength / 10);
        FillWorkedExample(FBar.Intervals());
    }
    static bool IsBlue(const QImage& image, int x, int y) {
        return image.pixelColor(x, y) == QColor(0, 0, 255);
    }

    TPlayTrackBar FBar;
};

TEST_F(PlayTrackBarTest, PaintsTheIntervalsInBlueUnderTheThumb) {
    int paints = 0;
    FBar.OnPaint = [&](TCustomSliderBar&) { ++paints; };
    FBar.SetPosition(FBar.Max()); // the thumb away from the second interval
    QImage image = FBar.grab().toImage();
    EXPECT_EQ(paints, 0) << "the base's paint notification is not fired";
    ASSERT_EQ(image.size(), cBarSize);
    for (int y = 7; y < 22; ++y) {
        for (int x = 6; x < 24; ++x)
            ASSERT_TRUE(IsBlue(image, x, y)) << x << "," << y;
        EXPECT_FALSE(IsBlue(image, 5, y)) << y; // the empty first interval leaves no mark
        EXPECT_FALSE(IsBlue(image, 24, y)) << y;
        EXPECT_TRUE(IsBlue(image, 25, y)) << y;
    }
    for (int x = 6; x < 24; ++x) {
        EXPECT_FALSE(IsBlue(image, x, 6)) << x;
        EXPECT_FALSE(IsBlue(image, x, 22)) << x;
    }

    FBar.SetPosition(0);
    image = FBar.grab().toImage();
    const QRect thumb = FBar.ThumbRect();
    for (int x = thumb.left(); x <= thumb.right(); ++x)
        EXPECT_FALSE(IsBlue(image, x, 14)) << x;
    EXPECT_TRUE(IsBlue(image, thumb.right() + 2, 14));
}

TEST_F(PlayTrackBarTest, AScaleEndingAtZeroPaintsWithoutIntervals) {
    FBar.SetMin(-100);
    FBar.SetMax(0);
    ASSERT_EQ(FBar.Max(), 0);
    EXPECT_FALSE(IsBlue(FBar.grab().toImage(), 100, 14));
}

// The player's window abandons every press on its bar, so the bar only displays.
TEST(PlayTrackBarInAWindow, AnAbandonedPressLeavesPositionAndFocusAlone) {
    QWidget window;
    window.resize(400, 80);
    auto* edit = new QLineEdit(&window);
    auto* bar = new TPlayTrackBar(&window);
    bar->setGeometry(20, 40, cBarSize.width(), cBarSize.height());
    bar->SetMax(cSoundLength);
    bar->SetPosition(1'000'000);
    int changes = 0;
    bar->OnChange = [&](TCustomSliderBar&) { ++changes; };
    TMousePress answer = TMousePress::Abort;
    bar->OnMouseDown = [&](TCustomSliderBar&, const TSliderMouse&, TMousePress& press) {
        press = answer;
    };
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    edit->setFocus();
    ASSERT_TRUE(edit->hasFocus());
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(300, 14));
    EXPECT_EQ(bar->Position(), 1'000'000);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(edit->hasFocus());
    // The same press, not abandoned, steps the bar and takes the focus.
    answer = TMousePress::Handle;
    bar->SetFrequency(cSoundLength / 10);
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(300, 14));
    EXPECT_EQ(bar->Position(), 1'000'000 + cSoundLength / 10);
    EXPECT_TRUE(bar->hasFocus());
}

} // namespace
} // namespace vsr
