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

    TCustomSliderBar FBar;
    int FChanges = 0;
    int FChangeEnds = 0;
};

// Scale ---------------------------------------------------------------------------------------

TEST(SliderBarDefaults, AreThoseOfTheGenericControl) {
    TCustomSliderBar bar;
    EXPECT_EQ(bar.Min(), 0);
    EXPECT_EQ(bar.Max(), 100);
    EXPECT_EQ(bar.Position(), 0);
    EXPECT_EQ(bar.Frequency(), 10);
    EXPECT_EQ(bar.Orientation(), TSliderOrientation::Horizontal);
    EXPECT_TRUE(bar.TabStop());
    EXPECT_EQ(bar.size(), QSize(150, 40));
}

TEST_F(SliderBarTest, PositionIsClampedIntoTheRange) {
    FBar.SetPosition(-5);
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChanges, 0); // it was 0 already
    FBar.SetPosition(101);
    EXPECT_EQ(FBar.Position(), 100);
    EXPECT_EQ(FChanges, 1);
    FBar.SetPosition(-5);
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChanges, 2);
}

TEST_F(SliderBarTest, SettingTheSamePositionFiresNoNotification) {
    FBar.SetPosition(40);
    FBar.SetPosition(40);
    EXPECT_EQ(FChanges, 1);
    FBar.SetPosition(1000); // clamps to 100
    FBar.SetPosition(100);
    EXPECT_EQ(FChanges, 2);
}

TEST_F(SliderBarTest, AMaxNotAboveMinIsIgnored) {
    FBar.SetPosition(30);
    FBar.SetMax(0);
    FBar.SetMax(-3);
    EXPECT_EQ(FBar.Max(), 100);
    EXPECT_EQ(FBar.Frequency(), 10);
    EXPECT_EQ(FBar.Position(), 30);
    FBar.SetMin(100);
    EXPECT_EQ(FBar.Min(), 0);
}

TEST_F(SliderBarTest, ASmallerMaxReducesFrequencyAndClampsPosition) {
    FBar.SetFrequency(50);
    FBar.SetPosition(80);
    FChanges = 0;
    FBar.SetMax(20);
    EXPECT_EQ(FBar.Max(), 20);
    EXPECT_EQ(FBar.Frequency(), 20);
    EXPECT_EQ(FBar.Position(), 20);
    EXPECT_EQ(FChanges, 1);
    FBar.SetMax(1000); // frequency is only ever reduced, position stays
    EXPECT_EQ(FBar.Frequency(), 20);
    EXPECT_EQ(FBar.Position(), 20);
    EXPECT_EQ(FChanges, 1);
}

TEST_F(SliderBarTest, FrequencyOutsideOneToTheLengthIsRefused) {
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(0); }), "Out of range 1-100");
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(101); }), "Out of range 1-100");
    EXPECT_EQ(FBar.Frequency(), 10);
    FBar.SetFrequency(100);
    FBar.SetFrequency(1);
    EXPECT_EQ(FBar.Frequency(), 1);
    FBar.SetMin(-100);
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(201); }), "Out of range 1-200");
}

// The player sets Max to the decoded sound length and Frequency to a tenth of it.
TEST_F(SliderBarTest, ASoundLengthBelowTenBytesRefusesFrequencyZero) {
    const std::int32_t length = 7;
    FBar.SetMax(length);
    EXPECT_EQ(FBar.Frequency(), 7);
    EXPECT_EQ(ErrorOf([&] { FBar.SetFrequency(length / 10); }), "Out of range 1-7");
}

TEST_F(SliderBarTest, ASoundLengthOfZeroNamesThePreviousRange) {
    FBar.SetMax(15'273'600);
    FBar.SetFrequency(1'527'360);
    FBar.SetMax(0);
    EXPECT_EQ(FBar.Max(), 15'273'600);
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

TEST_F(SliderBarTest, HomeAndEndGoToTheEnds) {
    FBar.SetPosition(42);
    QTest::keyClick(&FBar, Qt::Key_End);
    EXPECT_EQ(FBar.Position(), 100);
    QTest::keyClick(&FBar, Qt::Key_Home);
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChanges, 3);
}

TEST_F(SliderBarTest, ArrowsRoundToTheStepWithHalvesToEvenThenStep) {
    FBar.SetPosition(25);
    QTest::keyClick(&FBar, Qt::Key_Right);
    EXPECT_EQ(FBar.Position(), 30);
    FBar.SetPosition(25);
    QTest::keyClick(&FBar, Qt::Key_Left);
    EXPECT_EQ(FBar.Position(), 10);
    FBar.SetPosition(35);
    QTest::keyClick(&FBar, Qt::Key_Left);
    EXPECT_EQ(FBar.Position(), 30);
    FBar.SetPosition(15);
    QTest::keyClick(&FBar, Qt::Key_Right);
    EXPECT_EQ(FBar.Position(), 30);
}

TEST_F(SliderBarTest, ArrowsStopAtTheEnds) {
    FBar.SetPosition(96);
    QTest::keyClick(&FBar, Qt::Key_Right);
    EXPECT_EQ(FBar.Position(), 100);
    FBar.SetPosition(4);
    QTest::keyClick(&FBar, Qt::Key_Left);
    EXPECT_EQ(FBar.Position(), 0);
}

TEST_F(SliderBarTest, KeysWithModifiersOrOffAxisAreIgnored) {
    FBar.SetPosition(50);
    FChanges = 0;
    QTest::keyClick(&FBar, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(&FBar, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(&FBar, Qt::Key_Up);
    QTest::keyClick(&FBar, Qt::Key_Down);
    EXPECT_EQ(FBar.Position(), 50);
    EXPECT_EQ(FChanges, 0);
}

TEST_F(SliderBarTest, AVerticalBarStepsWithUpAndDown) {
    FBar.SetOrientation(TSliderOrientation::Vertical);
    FBar.SetPosition(50);
    QTest::keyClick(&FBar, Qt::Key_Up);
    EXPECT_EQ(FBar.Position(), 60);
    QTest::keyClick(&FBar, Qt::Key_Down);
    QTest::keyClick(&FBar, Qt::Key_Down);
    EXPECT_EQ(FBar.Position(), 40);
    QTest::keyClick(&FBar, Qt::Key_Right);
    QTest::keyClick(&FBar, Qt::Key_Left);
    EXPECT_EQ(FBar.Position(), 40);
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
        EXPECT_EQ(mouse.Pos, QPoint(300, 14));
        ++downs;
        press = TMousePress::Abort;
    };
    FBar.OnMouseUp = [&](TCustomSliderBar&, const TSliderMouse&) { ++ups; };
    QTest::mousePress(&FBar, Qt::LeftButton, {}, QPoint(300, 14));
    EXPECT_FALSE(FBar.Repeating());
    QTest::qWait(TCustomSliderBar::cRepeatInterval + 100);
    QTest::mouseRelease(&FBar, Qt::LeftButton, {}, QPoint(300, 14));
    // Nor can the thumb be dragged.
    FBar.OnMouseDown = [&](TCustomSliderBar&, const TSliderMouse&, TMousePress& press) {
        ++downs;
        press = TMousePress::Abort;
    };
    QTest::mousePress(&FBar, Qt::LeftButton, {}, QPoint(CentreOf(0), 14));
    QTest::mouseMove(&FBar, QPoint(CentreOf(50), 14));
    EXPECT_FALSE(FBar.Dragging());
    QTest::mouseRelease(&FBar, Qt::LeftButton, {}, QPoint(CentreOf(50), 14));
    EXPECT_EQ(downs, 2);
    EXPECT_EQ(ups, 2);
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChanges, 0);
    EXPECT_EQ(FChangeEnds, 0);
}

TEST_F(SliderBarTest, APressOnTheTrackStepsTowardsThePointerWhileHeld) {
    Show();
    QTest::mousePress(&FBar, Qt::LeftButton, {}, QPoint(330, 14));
    EXPECT_EQ(FBar.Position(), 10); // at once
    EXPECT_TRUE(FBar.Repeating());
    EXPECT_TRUE(QTest::qWaitFor([&] { return FBar.Position() >= 30; }, 5000));
    QTest::mouseRelease(&FBar, Qt::LeftButton, {}, QPoint(330, 14));
    EXPECT_FALSE(FBar.Repeating());
    EXPECT_EQ(FChangeEnds, 1);
    const std::int32_t released = FBar.Position();
    EXPECT_EQ(released % 10, 0);
    QTest::qWait(TCustomSliderBar::cRepeatInterval * 2);
    EXPECT_EQ(FBar.Position(), released);
}

TEST_F(SliderBarTest, SteppingStopsOnceTheThumbReachesThePointer) {
    Show();
    const QPoint pointer(CentreOf(25), 14); // between the steps 20 and 30
    QTest::mousePress(&FBar, Qt::LeftButton, {}, pointer);
    EXPECT_TRUE(QTest::qWaitFor([&] { return FBar.Position() == 30; }, 5000));
    // The thumb now lies beyond the pointer; it must not swing back to 20.
    QTest::qWait(TCustomSliderBar::cRepeatInterval * 2 + 100);
    EXPECT_EQ(FBar.Position(), 30);
    EXPECT_EQ(FChanges, 3);
    QTest::mouseRelease(&FBar, Qt::LeftButton, {}, pointer);
}

TEST_F(SliderBarTest, APressBeforeTheThumbStepsDown) {
    Show();
    FBar.SetPosition(70);
    QTest::mousePress(&FBar, Qt::LeftButton, {}, QPoint(20, 14));
    QTest::mouseRelease(&FBar, Qt::LeftButton, {}, QPoint(20, 14));
    EXPECT_EQ(FBar.Position(), 60);
    EXPECT_EQ(FChangeEnds, 1);
}

TEST_F(SliderBarTest, OnlyTheLeftButtonMovesTheBar) {
    Show();
    QTest::mousePress(&FBar, Qt::RightButton, {}, QPoint(300, 14));
    QTest::mouseRelease(&FBar, Qt::RightButton, {}, QPoint(300, 14));
    EXPECT_EQ(FBar.Position(), 0);
    EXPECT_EQ(FChangeEnds, 0);
}

TEST_F(SliderBarTest, TheThumbFollowsTheDragKeepingTheGripOffset) {
    Show();
    const int grip = CentreOf(0) + 3;
    QTest::mousePress(&FBar, Qt::LeftButton, {}, QPoint(grip, 14));
    EXPECT_TRUE(FBar.Dragging());
    EXPECT_EQ(FBar.Position(), 0);
    QTest::mouseMove(&FBar, QPoint(grip + 162, 14));
    EXPECT_EQ(FBar.Position(), 50);
    QTest::mouseMove(&FBar, QPoint(345, 14));
    EXPECT_EQ(FBar.Position(), 100);
    QTest::mouseMove(&FBar, QPoint(0, 14));
    EXPECT_EQ(FBar.Position(), 0);
    QTest::mouseMove(&FBar, QPoint(grip + 81, 14));
    QTest::mouseRelease(&FBar, Qt::LeftButton, {}, QPoint(grip + 81, 14));
    EXPECT_EQ(FBar.Position(), 25);
    EXPECT_FALSE(FBar.Dragging());
    EXPECT_EQ(FChangeEnds, 1);
    EXPECT_EQ(FChanges, 4);
}

TEST_F(SliderBarTest, TheCursorIsAHandOverTheThumb) {
    Show();
    FBar.SetPosition(50);
    QTest::mouseMove(&FBar, QPoint(CentreOf(50), 14));
    EXPECT_EQ(FBar.cursor().shape(), Qt::PointingHandCursor);
    QTest::mouseMove(&FBar, QPoint(30, 14));
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
