// The controls: the slider bar's scale, keys and mouse driven through real Qt events, the seek
// bar's blue intervals, and the panel the video is painted on.
#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "support/ErrorOf.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace vsr {

constexpr std::int32_t cSoundLength = 15'273'600;

// A bar of 346 x 29, range 0 to 100, counting its notifications.
class SliderBar : public ::testing::Test {
protected:
    SliderBar() {
        FBar.resize(346, 29);
        FBar.OnChange = [this](TCustomSliderBar&) { ++FChanges; };
        FBar.OnChangeEnd = [this](TCustomSliderBar&) { ++FChangeEnds; };
        FBar.OnMouseUp = [this](TCustomSliderBar&, const TSliderMouse&) { ++FReleases; };
        FBar.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&FBar));
    }
    // The x of the thumb's centre for a value.
    static int CentreOf(int value) { return 11 + (value * 324 + 50) / 100; }
    void Click(QTest::MouseAction action, int x, Qt::MouseButton button = Qt::LeftButton) {
        QTest::mouseEvent(action, &FBar, button, {}, QPoint(x, 14));
    }

    TCustomSliderBar FBar;
    int FChanges = 0, FChangeEnds = 0, FReleases = 0;
};

TEST_F(SliderBar, ScaleClampsPositionAndRefusesAFrequencyOutOfRange) {
    for (const int value : {-5, 101, 100})
        FBar.SetPosition(value);
    EXPECT_EQ(std::pair(FBar.Position(), FChanges), std::pair(100, 1)) << "only changes count";
    // A range whose max is not above min is ignored; a smaller max reduces frequency and
    // position, a larger one leaves them.
    FBar.SetFrequency(50);
    for (const int max : {0, 20, 1000})
        FBar.SetMax(max);
    FBar.SetMin(1000);
    EXPECT_EQ(std::tuple(FBar.Min(), FBar.Frequency(), FBar.Position()), std::tuple(0, 20, 20));
    // {max, frequency, top of the range named by the error (0: none)}: the player's tenth of a
    // 7-byte voice track is refused, and a length of 0 is ignored.
    const int frequencies[][3] = {
        {100, 0, 100}, {100, 101, 100}, {100, 100, 0}, {7, 0, 7}, {0, 0, 7}};
    for (const auto& [max, frequency, top] : frequencies) {
        FBar.SetMax(max);
        EXPECT_EQ(test::ErrorOf<ESliderBar>([&] { FBar.SetFrequency(frequency); }),
                  top ? "Out of range 1-" + std::to_string(top) : "no error")
            << max << " " << frequency;
    }
    FBar.SetMax(cSoundLength);
    FBar.SetPosition(1'000'000);
    EXPECT_EQ(FBar.ThumbCentre(), 32) << "11 + round(1,000,000 * 324 / 15,273,600)";
}

// {from, key, to}: keys act without modifiers only; on a vertical bar Up increases.
TEST_F(SliderBar, KeysGoToTheEndsOrRoundHalvesToEvenThenStep) {
    const int cases[][3] = {{42, Qt::Key_End, 100},  {42, Qt::Key_Home, 0},
                            {25, Qt::Key_Right, 30}, {25, Qt::Key_Left, 10},
                            {15, Qt::Key_Right, 30}, {96, Qt::Key_Right, 100},
                            {4, Qt::Key_Left, 0},    {50, Qt::Key_Up, 50},
                            {50, Qt::Key_Down, 50},  {50, Qt::Key_A, 50}};
    for (const auto& [from, key, to] : cases) {
        FBar.SetPosition(from);
        QTest::keyClick(&FBar, Qt::Key(key));
        QTest::keyClick(&FBar, Qt::Key(key), Qt::ControlModifier);
        EXPECT_EQ(FBar.Position(), to) << from << " key " << key;
    }
    FBar.SetOrientation(TSliderOrientation::Vertical);
    QTest::keyClick(&FBar, Qt::Key_Up);
    QTest::keyClick(&FBar, Qt::Key_Right);
    EXPECT_EQ(FBar.Position(), 60);
}

TEST_F(SliderBar, APressBesideTheThumbStepsTowardsThePointerWhileHeld) {
    Click(QTest::MousePress, CentreOf(25)); // between the steps 20 and 30
    EXPECT_EQ(FBar.Position(), 10) << "at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return FBar.Position() == 30; }, 5000));
    QTest::qWait(TCustomSliderBar::cRepeatInterval * 2 + 100);
    Click(QTest::MouseRelease, CentreOf(25));
    EXPECT_EQ(FBar.Position(), 30) << "beyond the pointer it does not swing back";
    // Before the thumb it steps down; other buttons do nothing.
    Click(QTest::MouseClick, 20);
    Click(QTest::MouseClick, 300, Qt::RightButton);
    EXPECT_EQ(std::tuple(FBar.Position(), FChanges, FChangeEnds, FReleases),
              std::tuple(20, 4, 2, 3));
}

TEST_F(SliderBar, TheThumbFollowsTheDragKeepingTheGripOffset) {
    const int grip = CentreOf(0) + 3;
    Click(QTest::MousePress, grip);
    const int moves[][2] = {{grip + 162, 50}, {345, 100}, {0, 0}, {grip + 81, 25}};
    for (const auto& [x, position] : moves) {
        QTest::mouseMove(&FBar, QPoint(x, 14));
        EXPECT_EQ(FBar.Position(), position) << x;
    }
    Click(QTest::MouseRelease, grip + 81);
    EXPECT_EQ(std::tuple(FBar.Dragging(), FChanges, FChangeEnds), std::tuple(false, 4, 1));
    QTest::mouseMove(&FBar, QPoint(CentreOf(25), 14));
    EXPECT_EQ(FBar.cursor().shape(), Qt::PointingHandCursor) << "over the thumb";
    QTest::mouseMove(&FBar, QPoint(300, 14));
    EXPECT_EQ(FBar.cursor().shape(), Qt::ArrowCursor);
}

// The worked example: silences at 0 - 67,200 and 896,000 - 912,000 of 15,273,600 bytes. The
// seek bar does not fire the base's paint notification.
TEST(PlayTrackBar, PaintsTheIntervalsInBlueUnderTheThumbWithSixtyFourBitProducts) {
    TPlayTrackBar bar;
    bar.resize(346, 29);
    bar.SetMax(cSoundLength);
    bar.OnPaint = [](TCustomSliderBar&) { ADD_FAILURE() << "the base's paint notification"; };
    for (const auto& [start, end] :
         {std::pair(0, 0), std::pair(67'200, 896'000), std::pair(912'000, cSoundLength)})
        bar.Intervals().Add(start, end);
    // 912,000 * 336 overflows 32 bits: 25.
    EXPECT_EQ(IntervalBands(bar.Intervals(), cSoundLength, bar.size()),
              (std::vector<TIntervalBand>{{5, 7, 5, 22}, {6, 7, 24, 22}, {25, 7, 341, 22}}));
    for (const int position : {cSoundLength, 0}) {
        bar.SetPosition(position);
        const QImage image = bar.grab().toImage();
        // An empty interval leaves no mark; the thumb (its middle row checked) covers them.
        for (int y = 6; y <= 22; ++y)
            for (int x = 4; x <= 25; ++x) {
                const bool thumb = bar.ThumbRect().contains(x, y);
                const bool blue = y >= 7 && y < 22 && !thumb && ((x >= 6 && x < 24) || x == 25);
                ASSERT_TRUE((thumb && y != 14) || (image.pixel(x, y) == qRgb(0, 0, 255)) == blue)
                    << x << ", " << y;
            }
    }
    bar.SetMin(-100);
    bar.SetMax(0);
    EXPECT_NE(bar.grab().toImage().pixel(100, 14), qRgb(0, 0, 255)) << "a scale ending at 0";
}

// OnPaint draws the whole panel: nothing is erased before it, so what it leaves keeps the
// colour underneath. Without it the panel paints as a plain one.
TEST(UserPaintPanel, OnPaintDrawsEverythingAndNothingIsErasedBeforeIt) {
    TUserPaintPanel panel;
    panel.resize(80, 40);
    panel.setStyleSheet("background: black");
    QImage image(panel.size(), QImage::Format_RGB32);
    for (const bool withOnPaint : {false, true}) {
        image.fill(Qt::magenta);
        panel.render(&image);
        EXPECT_EQ(std::pair(image.pixel(10, 10), image.pixel(79, 39)),
                  withOnPaint ? std::pair(qRgb(255, 0, 0), qRgb(255, 0, 255))
                              : std::pair(qRgb(0, 0, 0), qRgb(0, 0, 0)));
        panel.OnPaint = [](TUserPaintPanel& sender) {
            sender.Canvas()->fillRect(0, 0, 40, 40, Qt::red);
        };
    }
}

} // namespace vsr
