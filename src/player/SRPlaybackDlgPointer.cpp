// The pointer over the picture: the hint about the right-click menu shown on the first real
// move, and the system pointer hidden while it rests over the picture outside a menu.
#include "player/SRPlaybackDlg.h"

#include "controls/UserPaintPanel.h"
#include "player/EventHook.h"
#include "shell/Trace.h"

#include <QCursor>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace vsr {

namespace {

constexpr int cHintWidth = 185;
constexpr int cHintHeight = 41;

} // namespace

// Also the text of the information panel, so that the language file reaches both.
void TSRPlaybackDlg::CreateHintPanel() {
    HintPanel = new QFrame(PlayPanel);
    HintPanel->setObjectName("HintPanel");
    HintPanel->setGeometry(0, 0, cHintWidth, cHintHeight);
    auto* shape1 = new QFrame(HintPanel);
    shape1->setObjectName("Shape1");
    shape1->setGeometry(0, 0, cHintWidth, cHintHeight);
    shape1->setStyleSheet("#Shape1 { background-color: #FFFFBB; border: 1px solid red; }");
    Label5 = new QLabel("Right-click for menu options.", HintPanel);
    Label5->setObjectName("Label5");
    Label5->setGeometry(0, 0, cHintWidth, cHintHeight);
    Label5->setAlignment(Qt::AlignCenter);
    Label5->setStyleSheet("color: black; background: transparent;");
    // A press on the hint is a press on the picture.
    HintPanel->setAttribute(Qt::WA_TransparentForMouseEvents);
    HintPanel->hide();

    auto* infoLayout = new QVBoxLayout(InfoPanel);
    InfoLabel = new QLabel("No recording is open. Right-click and choose \"Open/Load New File\" "
                           "or \"Open URL\".",
                           InfoPanel);
    InfoLabel->setObjectName("InfoLabel");
    InfoLabel->setAlignment(Qt::AlignCenter);
    InfoLabel->setWordWrap(true);
    InfoLabel->setStyleSheet("color: white;");
    infoLayout->addWidget(InfoLabel);

    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2Timer(); });
    connect(HideMouseTimer, &QTimer::timeout, this, [this] { HideMouseTimerTimer(); });
    HideMouseTimer->start();
    PlayPanel->setMouseTracking(true);
    PlayPanelHook = new TEventHook(this, [this](QEvent* event) { return PlayPanelEvent(event); });
    PlayPanelHook->Attach(PlayPanel);
}

bool TSRPlaybackDlg::PlayPanelEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove:
        if (FMouseMoveInstalled)
            PlayPanelMouseMove(static_cast<QMouseEvent*>(event)->position().toPoint());
        return false;
    case QEvent::MouseButtonPress:
        PlayPanelMouseDown();
        return false;
    case QEvent::MouseButtonDblClick:
        PlayPanelDoubleClick();
        return true;
    default:
        return false;
    }
}

void TSRPlaybackDlg::Timer1Timer() {
    Timer1->stop();
    FMouseMoveInstalled = true;
}

// A move that reports the stored position (as showing the pointer again does) is no move.
void TSRPlaybackDlg::PlayPanelMouseMove(QPoint position) {
    if (HintPanel->isVisible() || position == FLastMouse)
        return;
    FLastMouse = position;
    HintPanel->move(std::min(position.x(), PlayPanel->width() - HintPanel->width()),
                    std::min(position.y(), PlayPanel->height() - HintPanel->height()));
    HintPanel->show();
    HintPanel->raise();
    Trace("Show cursor in mouse move");
    ShowMouseCursor(true);
    HideMouseTimer->stop();
    Timer2->start();
    FMouseMoveInstalled = false;
}

void TSRPlaybackDlg::Timer2Timer() {
    HintPanel->hide();
    FLastMouse = PlayPanel->mapFromGlobal(QCursor::pos());
    Timer2->stop();
    Timer1->start();
    HideMouseTimer->start();
}

void TSRPlaybackDlg::PlayPanelMouseDown() {
    Timer2Timer();
    Trace("Show cursor in mouse down");
    ShowMouseCursor(true);
}

void TSRPlaybackDlg::HideMouseTimerTimer() {
    if (!FOutsideMenu)
        return;
    Trace("Hide mouse timer");
    const QPoint position = PlayPanel->mapFromGlobal(QCursor::pos());
    if (PlayPanel->rect().contains(position) && PlayPanel->isVisible()) {
        Trace("Hide mouse");
        HideMouseTimer->stop();
        ShowMouseCursor(false);
    }
}

} // namespace vsr
