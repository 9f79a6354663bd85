// The pointer over the picture: the hint shown on a real move once armed, the system pointer
// hidden while it rests over the picture, never while the right-click menu is open. The
// timers are ticked directly instead of waiting for them.
#include "gui/PlayerTestSupport.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFrame>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QTimerEvent>

#include <algorithm>

namespace vsr::test {
namespace {

class PlayerPointer : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        Window().resize(400, 300);
        Pump(30);
        FPanel = Window().findChild<QWidget*>("PlayPanel");
        FHint = Window().findChild<QFrame*>("HintPanel");
        ASSERT_NE(FPanel, nullptr);
        ASSERT_NE(FHint, nullptr);
    }

    // One tick of the timer, as if its interval had run out now.
    void Tick(const char* name) {
        QTimer* timer = Timer(name);
        if (!timer->isActive())
            timer->start();
        QTimerEvent tick(timer->timerId());
        QApplication::sendEvent(timer, &tick);
    }
    void Move(QPoint at) {
        QMouseEvent move(QEvent::MouseMove, at, FPanel->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(FPanel, &move);
    }
    void Press(QPoint at) {
        QMouseEvent press(QEvent::MouseButtonPress, at, FPanel->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FPanel, &press);
    }
    bool Traced(const std::string& line) const {
        const auto lines = FTrace->Lines();
        return std::ranges::find(lines, line) != lines.end();
    }

    QWidget* FPanel = nullptr;
    QFrame* FHint = nullptr;
};

TEST_F(PlayerPointer, MovesShowTheHintOnlyOnceArmed) {
    Move({50, 40});
    EXPECT_FALSE(FHint->isVisible()) << "not armed before Timer1";

    Tick("Timer1");
    EXPECT_FALSE(Timer("Timer1")->isActive());
    Move({50, 40});
    EXPECT_TRUE(FHint->isVisible());
    EXPECT_EQ(FHint->pos(), QPoint(50, 40));
    EXPECT_TRUE(Timer("Timer2")->isActive());
    EXPECT_FALSE(Timer("HideMouseTimer")->isActive());
    EXPECT_TRUE(Traced("Show cursor in mouse move"));

    // Further moves leave the hint where it is.
    Move({60, 60});
    EXPECT_EQ(FHint->pos(), QPoint(50, 40));

    Tick("Timer2");
    EXPECT_FALSE(FHint->isVisible());
    EXPECT_FALSE(Timer("Timer2")->isActive());
    EXPECT_TRUE(Timer("Timer1")->isActive());
    EXPECT_TRUE(Timer("HideMouseTimer")->isActive());
}

TEST_F(PlayerPointer, MoveToTheStoredPositionIsNoMove) {
    QCursor::setPos(FPanel->mapToGlobal(QPoint(30, 20)));
    Tick("Timer1");
    Move({70, 70});
    Tick("Timer2"); // stores the pointer's position
    Tick("Timer1");
    Move({30, 20});
    EXPECT_FALSE(FHint->isVisible());
    Move({31, 20});
    EXPECT_TRUE(FHint->isVisible());
}

TEST_F(PlayerPointer, HintStaysInsideThePanel) {
    Tick("Timer1");
    Move({FPanel->width() - 2, FPanel->height() - 1});
    ASSERT_TRUE(FHint->isVisible());
    EXPECT_EQ(FHint->geometry().right(), FPanel->width() - 1);
    EXPECT_EQ(FHint->geometry().bottom(), FPanel->height() - 1);
    EXPECT_EQ(FHint->size(), QSize(185, 41));
}

TEST_F(PlayerPointer, PressEndsTheHintAndShowsThePointer) {
    QCursor::setPos(FPanel->mapToGlobal(QPoint(10, 10)));
    Tick("HideMouseTimer");
    ASSERT_FALSE(Window().CursorShown());
    EXPECT_EQ(FPanel->cursor().shape(), Qt::BlankCursor);
    Tick("Timer1");
    Move({20, 20});
    EXPECT_TRUE(Window().CursorShown());
    Press({20, 20});
    EXPECT_FALSE(FHint->isVisible());
    EXPECT_TRUE(Window().CursorShown());
    EXPECT_NE(FPanel->cursor().shape(), Qt::BlankCursor);
    EXPECT_TRUE(Traced("Show cursor in mouse down"));
    EXPECT_TRUE(Timer("Timer1")->isActive());
}

TEST_F(PlayerPointer, PointerIsHiddenOnlyOverThePicture) {
    QCursor::setPos(Window().mapToGlobal(QPoint(-50, -50)));
    Tick("HideMouseTimer");
    EXPECT_TRUE(Window().CursorShown());
    EXPECT_TRUE(Timer("HideMouseTimer")->isActive());
    EXPECT_TRUE(Traced("Hide mouse timer"));
    EXPECT_FALSE(Traced("Hide mouse"));

    QCursor::setPos(FPanel->mapToGlobal(QPoint(100, 100)));
    Tick("HideMouseTimer");
    EXPECT_FALSE(Window().CursorShown());
    EXPECT_FALSE(Timer("HideMouseTimer")->isActive());
    EXPECT_TRUE(Traced("Hide mouse"));
}

TEST_F(PlayerPointer, NeverHiddenWhileTheMenuIsOpen) {
    auto* menu = Window().findChild<QMenu*>("TePopupMenu1");
    ASSERT_NE(menu, nullptr);
    QCursor::setPos(FPanel->mapToGlobal(QPoint(100, 100)));
    // A right-click on the picture opens the window's menu.
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, QPoint(100, 100),
                                 FPanel->mapToGlobal(QPoint(100, 100)));
    QApplication::sendEvent(FPanel, &rightClick);
    ASSERT_TRUE(PumpUntil([&] { return menu->isVisible(); }));
    EXPECT_FALSE(Window().OutsideMenu());
    EXPECT_TRUE(Traced("Enter menu loop"));
    Tick("HideMouseTimer");
    EXPECT_TRUE(Window().CursorShown());

    menu->hide();
    EXPECT_TRUE(Window().OutsideMenu());
    EXPECT_TRUE(Traced("Exit menu loop"));
    QCursor::setPos(FPanel->mapToGlobal(QPoint(100, 100)));
    Tick("HideMouseTimer");
    EXPECT_FALSE(Window().CursorShown());
}

} // namespace
} // namespace vsr::test
