// The right-click menu, the views (full screen, the controls panel) and the menu-loop watch
// that keeps the pointer visible while the menu is open.
#include "player/SRPlaybackDlg.h"

#include "controls/UserPaintPanel.h"
#include "player/AboutBox.h"
#include "player/EventHook.h"
#include "shell/Trace.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QTimer>

namespace vsr {

namespace {

QAction* AddEntry(QMenu* menu, const char* name, const char* caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

void HideEntry(QAction* action) {
    action->setVisible(false);
    action->setEnabled(false);
}

} // namespace

void TSRPlaybackDlg::CreateMenus() {
    TePopupMenu1 = new QMenu(this);
    TePopupMenu1->setObjectName("TePopupMenu1");
    MMaximize = AddEntry(TePopupMenu1, "MMaximize", "Full Screen View");
    MRestore = AddEntry(TePopupMenu1, "MRestore", "Window Mode View");
    TePopupMenu1->addSeparator();
    TePopupMenu1->addAction(MStretch);
    HideEntry(MStretch);
    MTrackBarVisible = AddEntry(TePopupMenu1, "MTrackBarVisible", "Show Player Controls");
    MTrackBarVisible->setCheckable(true);
    MTrackBarVisible->setChecked(true);
    MMinimizetoTaskbar = AddEntry(TePopupMenu1, "MMinimizetoTaskbar", "Minimize to Taskbar");
    TePopupMenu1->addSeparator();
    MGoToTime = AddEntry(TePopupMenu1, "MGoToTime", "Go to Time...");
    MExport = AddEntry(TePopupMenu1, "MExport", "Export…");
    MSpeed = TePopupMenu1->addMenu("Speed");
    MSpeed->setObjectName("MSpeed");
    TePopupMenu1->addSeparator();
    MOpen = AddEntry(TePopupMenu1, "MOpen", "Open/Load New File");
    MOpenURL = AddEntry(TePopupMenu1, "MOpenURL", "Open URL");
    MCloseRecording = AddEntry(TePopupMenu1, "MCloseRecording", "Close Recording");
    TePopupMenu1->addSeparator();
    MShortcuts = AddEntry(TePopupMenu1, "MShortcuts", "Keyboard Shortcuts");
    MAbout = AddEntry(TePopupMenu1, "MAbout", "About VSR Player");
    MClose = AddEntry(TePopupMenu1, "MClose", "Close/Exit");

    connect(MRestore, &QAction::triggered, this, [this] { MRestoreClick(); });
    connect(MGoToTime, &QAction::triggered, this, [this] { GoToTimeClick(); });
    connect(MExport, &QAction::triggered, this, [this] { MExportClick(); });
    connect(MCloseRecording, &QAction::triggered, this, [this] { CloseOrQuit(); });
    connect(MShortcuts, &QAction::triggered, this, [this] { ToggleShortcutHelp(); });
    connect(MAbout, &QAction::triggered, this, [this] { ShowAboutBox(this); });
    connect(TePopupMenu1, &QMenu::aboutToShow, this, [this] { TePopupMenu1Popup(); });
    connect(MMaximize, &QAction::triggered, this, [this] { MMaximizeClick(); });
    // Toggled by the handler itself, not by the entry's own check mark.
    connect(MTrackBarVisible, &QAction::triggered, this, [this] { MTrackBarVisibleClick(); });
    connect(MMinimizetoTaskbar, &QAction::triggered, this, [this] { MMinimizetoTaskbarClick(); });
    connect(MOpen, &QAction::triggered, this, [this] { MOpenClick(); });
    connect(MOpenURL, &QAction::triggered, this, [this] { MOpenURLClick(); });
    connect(MClose, &QAction::triggered, this, [this] { MCloseClick(); });

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& position) { TePopupMenu1->popup(mapToGlobal(position)); });
    ControlHook1 = new TEventHook(this, [this](QEvent* event) {
        if (event->type() == QEvent::Show)
            ControlHook1BeforeMsg(TMenuLoop::Enter);
        else if (event->type() == QEvent::Hide)
            ControlHook1BeforeMsg(TMenuLoop::Exit);
        return false;
    });
}

void TSRPlaybackDlg::TePopupMenu1Popup() {
    MTrackBarVisible->setChecked(ControlsPanel->isVisible());
    MMaximize->setEnabled(!FFullScreen);
    MRestore->setEnabled(FFullScreen);
    MGoToTime->setEnabled(HasRecording() && SeekAllowed(0));
    MExport->setEnabled(ExportAllowed());
    MCloseRecording->setText(HasRecording() ? "Close Recording" : "Quit");
}

// Covers the primary screen exactly, without border.
void TSRPlaybackDlg::MMaximizeClick() {
    if (FFullScreen)
        return;
    FSavedBounds = geometry();
    const bool wasVisible = isVisible();
    setWindowFlag(Qt::FramelessWindowHint, true);
    setGeometry(QGuiApplication::primaryScreen()->geometry());
    setWindowState(windowState() | Qt::WindowFullScreen);
    if (wasVisible)
        show();
    FFullScreen = true;
    PlaceSearchPanel();
}

// Back to the framed window with its controls, the picture fitted into it.
void TSRPlaybackDlg::MRestoreClick() {
    if (!FFullScreen)
        return;
    const bool wasVisible = isVisible();
    setWindowState(windowState() & ~Qt::WindowFullScreen);
    setWindowFlag(Qt::FramelessWindowHint, false);
    if (FSavedBounds.isValid())
        setGeometry(FSavedBounds);
    FFullScreen = false;
    MStretch->setChecked(true);
    ControlsPanel->show();
    if (wasVisible)
        show();
    UpdateLayout();
    PlaceSearchPanel();
}

// In full screen a double-click leaves it; in the framed window it shows or hides the
// controls.
void TSRPlaybackDlg::PlayPanelDoubleClick() {
    if (FFullScreen)
        MRestoreClick();
    else
        MTrackBarVisibleClick();
}

// Also the double-click on the picture in the framed window; in natural size the picture is centred
// again.
void TSRPlaybackDlg::MTrackBarVisibleClick() {
    ControlsPanel->setVisible(!ControlsPanel->isVisible());
    MTrackBarVisible->setChecked(ControlsPanel->isVisible());
    UpdateLayout();
}

void TSRPlaybackDlg::MMinimizetoTaskbarClick() {
    showMinimized();
}

void TSRPlaybackDlg::MCloseClick() {
    // Posted, so that the menu is closed before the window is.
    QTimer::singleShot(0, this, [this] { close(); });
}

void TSRPlaybackDlg::ControlHook1BeforeMsg(TMenuLoop message) {
    if (message == TMenuLoop::Enter) {
        Trace("Enter menu loop");
        FOutsideMenu = false;
    } else {
        Trace("Exit menu loop");
        FOutsideMenu = true;
    }
}

} // namespace vsr
