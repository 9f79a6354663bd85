// TCustomSliderBar: its scale, keyboard and mouse, driven through real Qt events.
#include "controls/CustomSliderBar.h"

#include <QTest>

#include <gtest/gtest.h>

#include <string>

namespace vsr {
namespace {

std::string ErrorOf(auto&& action) {
    try {
        action();
    } catch (const ESliderBar& e) {
        return e.Message();
    }
    return "no error";
}

class SliderBarTest : public ::testing::Test {
protected:
    SliderBarTest() {
        FBar.resize(346, 29);
        FBar.OnChange = [this](TCustomSliderBar& sender) {
            EXPECT_EQ(&sender, &FBar);
            ++FChanges;
        };
        FBar.OnChangeEnd = [this](TCustomSliderBar&) { ++FChangeEnds; };
    }
    void Show() {
        FBar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&FBar));
    }
    // The client x of the thumb centre for a value on the 346-pixel bar with range 0..100.
    static int CentreOf(int value) { return 11 + (value * 324 + 50) / 100; }
    void Press(QPoint at) { QTest::mousePress(&FBar, Qt::LeftButton, {}, at); }
    void Release(QPoint at) { QTest::mouseRelease(&FBar, Qt::LeftButton, {}, at); }
    int PositionAfterKey(int from, Qt::Key key) {
        FBar.SetPosition(from);
        QTest::keyClick(&FBar, key);
        return FBar.Position();
    }

    TCustomSliderBar FBar;
    int FChanges = 0;
    int FChangeEnds = 0;
};

// Scale ---------------------------------------------------------------------------------------

TEST_F(SliderBarTest, PositionIsClampedAndOnlyAChangeIsReported) {
    EXPECT_EQ(FBar.Max(), 100);
    FBar.SetPosition(-5);
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChanges, 0); // it was 0 already
    FBar.SetPosition(101);
    EXPECT_EQ(FBar.Position(), 100);
    FBar.SetPosition(100);
    EXPECT_EQ(FChanges, 1);
    FBar.SetPosition(-5);
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChanges, 2);
}

TEST_F(SliderBarTest, AMaxNotAboveMinIsIgnoredASmallerOneReducesFrequencyAndPosition) {
    FBar.SetFrequency(50);
    FBar.SetPosition(80);
    FBar.SetMax(0);
    FBar.SetMin(100);
    EXPECT_EQ(FBar.Min(), 0);
    EXPECT_EQ(FBar.Max(), 100);
    EXPECT_EQ(FBar.Position(), 80);
    FChanges = 0;
    FBar.SetMax(20);
    EXPECT_EQ(FBar.Frequency(), 20);
    EXPECT_EQ(FBar.Position(), 20);
    EXPECT_EQ(FChanges, 1);
    FBar.SetMax(1000); // frequency is only ever reduced, position stays
    EXPECT_EQ(FBar.Frequency(), 20);
    EXPECT_EQ(FBar.Position(), 20);
}

TEST_F(SliderBarTest, FrequencyOutsideOneToTheLengthIsRefused) {
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(0); }), "Out of range 1-100");
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(101); }), "Out of range 1-100");
    EXPECT_EQ(FBar.Frequency(), 10);
    FBar.SetFrequency(100);
    FBar.SetFrequency(1);
    EXPECT_EQ(FBar.Frequency(), 1);
    // The player sets Max to the decoded sound length and Frequency to a tenth of it.
    FBar.SetMax(7);
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(7 / 10); }), "Out of range 1-7");
    FBar.SetMax(15'273'600);
    FBar.SetMax(0); // a length of 0 is ignored: the error names the previous range
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(0); }), "Out of range 1-15273600");
}

TEST_F(SliderBarTest, TheThumbIsPlacedWithSixtyFourBitProducts) {
    FBar.SetMax(15'273'600);
    FBar.SetPosition(1'000'000);
    // 5 + 6 + round(1,000,000 * 324 / 15,273,600) = 11 + 21
    EXPECT_EQ(FBar.ThumbCentre(), 32);
    FBar.SetPosition(FBar.Max());
    EXPECT_EQ(FBar.ThumbRect().right(), 346 - 5 - 1);
    FBar.SetPosition(0);
    EXPECT_EQ(FBar.ThumbRect().left(), 5);
}

// Keyboard ------------------------------------------------------------------------------------

TEST_F(SliderBarTest, KeysGoToTheEndsOrRoundHalvesToEvenThenStep) {
    EXPECT_EQ(PositionAfterKey(42, Qt::Key_End), 100);
    EXPECT_EQ(PositionAfterKey(42, Qt::Key_Home), 0);
    EXPECT_EQ(PositionAfterKey(25, Qt::Key_Right), 30);
    EXPECT_EQ(PositionAfterKey(25, Qt::Key_Left), 10);
    EXPECT_EQ(PositionAfterKey(35, Qt::Key_Left), 30);
    EXPECT_EQ(PositionAfterKey(15, Qt::Key_Right), 30);
    EXPECT_EQ(PositionAfterKey(96, Qt::Key_Right), 100);
    EXPECT_EQ(PositionAfterKey(4, Qt::Key_Left), 0);

    FBar.SetPosition(50);
    FChanges = 0;
    QTest::keyClick(&FBar, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(&FBar, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(&FBar, Qt::Key_Up);
    QTest::keyClick(&FBar, Qt::Key_Down);
    EXPECT_EQ(FBar.Position(), 50);
    EXPECT_EQ(FChanges, 0);

    FBar.SetOrientation(TSliderOrientation::Vertical);
    EXPECT_EQ(PositionAfterKey(50, Qt::Key_Up), 60);
    EXPECT_EQ(PositionAfterKey(50, Qt::Key_Down), 40);
    EXPECT_EQ(PositionAfterKey(50, Qt::Key_Right), 50);
}

// Mouse ---------------------------------------------------------------------------------------

TEST_F(SliderBarTest, APressCancelledByOnMouseDownChangesNothing) {
    Show();
    int downs = 0;
    int ups = 0;
    FBar.OnMouseDown = [&](TCustomSliderBar& sender, const TSliderMouse& mouse,
                           TMousePress& press) {
        EXPECT_EQ(&sender, &FBar);
        EXPECT_EQ(mouse.Button, Qt::LeftButton);
        ++downs;
        press = TMousePress::Abort;
    };
    FBar.OnMouseUp = [&](TCustomSliderBar&, const TSliderMouse&) { ++ups; };
    Press({300, 14}); // on the track
    EXPECT_FALSE(FBar.Repeating());
    QTest::qWait(TCustomSliderBar::cRepeatInterval + 100);
    Release({300, 14});
    Press({CentreOf(0), 14}); // on the thumb
    QTest::mouseMove(&FBar, QPoint(CentreOf(50), 14));
    EXPECT_FALSE(FBar.Dragging());
    Release({CentreOf(50), 14});
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(ups, 2);
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChanges, 0);
    EXPECT_EQ(FChangeEnds, 0);
}

TEST_F(SliderBarTest, APressOnTheTrackStepsTowardsThePointerWhileHeld) {
    Show();
    Press({330, 14});
    EXPECT_EQ(FBar.Position(), 10); // at once
    EXPECT_TRUE(FBar.Repeating());
    EXPECT_TRUE(QTest::qWaitFor([&] { return FBar.Position() >= 30; }, 5000));
    Release({330, 14});
    EXPECT_FALSE(FBar.Repeating());
    EXPECT_EQ(FChangeEnds, 1);
    const std::int32_t released = FBar.Position();
    QTest::qWait(TCustomSliderBar::cRepeatInterval * 2);
    EXPECT_EQ(FBar.Position(), released);

    // Before the thumb it steps down; other buttons do nothing.
    Press({20, 14});
    Release({20, 14});
    EXPECT_EQ(FBar.Position(), released - 10);
    QTest::mousePress(&FBar, Qt::RightButton, {}, QPoint(300, 14));
    QTest::mouseRelease(&FBar, Qt::RightButton, {}, QPoint(300, 14));
    EXPECT_EQ(FBar.Position(), released - 10);
    EXPECT_EQ(FChangeEnds, 2);
}

TEST_F(SliderBarTest, SteppingStopsOnceTheThumbReachesThePointer) {
    Show();
    const QPoint pointer(CentreOf(25), 14); // between the steps 20 and 30
    Press(pointer);
    EXPECT_TRUE(QTest::qWaitFor([&] { return FBar.Position() == 30; }, 5000));
    // The thumb now lies beyond the pointer; it must not swing back to 20.
    QTest::qWait(TCustomSliderBar::cRepeatInterval * 2 + 100);
    EXPECT_EQ(FBar.Position(), 30);
    EXPECT_EQ(FChanges, 3);
    Release(pointer);
}

TEST_F(SliderBarTest, TheThumbFollowsTheDragKeepingTheGripOffset) {
    Show();
    const int grip = CentreOf(0) + 3;
    Press({grip, 14});
    EXPECT_TRUE(FBar.Dragging());
    QTest::mouseMove(&FBar, QPoint(grip + 162, 14));
    EXPECT_EQ(FBar.Position(), 50);
    QTest::mouseMove(&FBar, QPoint(345, 14));
    EXPECT_EQ(FBar.Position(), 100);
    QTest::mouseMove(&FBar, QPoint(0, 14));
    EXPECT_EQ(FBar.Position(), 0);
    QTest::mouseMove(&FBar, QPoint(grip + 81, 14));
    Release({grip + 81, 14});
    EXPECT_EQ(FBar.Position(), 25);
    EXPECT_FALSE(FBar.Dragging());
    EXPECT_EQ(FChangeEnds, 1);
    EXPECT_EQ(FChanges, 4);
    QTest::mouseMove(&FBar, QPoint(CentreOf(25), 14));
    EXPECT_EQ(FBar.cursor().shape(), Qt::PointingHandCursor) << "over the thumb";
    QTest::mouseMove(&FBar, QPoint(300, 14));
    EXPECT_EQ(FBar.cursor().shape(), Qt::ArrowCursor);
}

TEST_F(SliderBarTest, TheBasePaintHookFiresOnPaint) {
    int paints = 0;
    FBar.OnPaint = [&](TCustomSliderBar& sender) {
        EXPECT_EQ(&sender, &FBar);
        ++paints;
    };
    (void)FBar.grab();
    EXPECT_EQ(paints, 1);
}

} // namespace
} // namespace vsr
