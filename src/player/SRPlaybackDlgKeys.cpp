// The keys of the player, its overlay texts (speed, volume, the shortcut list) and the menu
// entries that show the same shortcuts.
#include "player/SRPlaybackDlg.h"

#include "controls/UserPaintPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include <span>

namespace vsr {

namespace {

constexpr int cOverlayTextMs = 1000;

struct TKeyBinding {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    const char* Keys;   // as the shortcut list shows them
    const char* Action; // empty: listed with the binding above it
    void (*Run)(TSRPlaybackDlg& window);
    // The buttons and menu entries (object names, blank-separated) that do the same: their
    // tool tips and the menu show the keys.
    const char* Targets = "";
};

// Shift is part of typing '?', '[' and ']' on many layouts, so it does not count for them.
bool Matches(const TKeyBinding& binding, const QKeyEvent& event) {
    if (event.key() != binding.Key)
        return false;
    Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    if (binding.Key == Qt::Key_Question || binding.Key == Qt::Key_BracketLeft ||
        binding.Key == Qt::Key_BracketRight)
        modifiers &= ~Qt::ShiftModifier;
    return modifiers == binding.Modifiers;
}

bool Targets(const TKeyBinding& binding, const QString& name) {
    return !name.isEmpty() && QString(binding.Targets).split(' ').contains(name);
}

} // namespace

// The window's friend, so that the table reaches its private handlers.
struct TSRPlaybackDlgKeys {
    static std::span<const TKeyBinding> Bindings() {
        using W = TSRPlaybackDlg;
        constexpr auto none = Qt::NoModifier;
        static const TKeyBinding table[] = {
            {Qt::Key_Space, none, "Space", "Play / pause", [](W& w) { w.PlayPauseKey(); },
             "PlayButton PauseButton"},
            {Qt::Key_Left, none, "Left / Right", "Back / forward 5 seconds",
             [](W& w) { w.SeekBy(-5000); }},
            {Qt::Key_Right, none, "", "", [](W& w) { w.SeekBy(5000); }},
            {Qt::Key_Left, Qt::ShiftModifier, "Shift+Left / Right", "Back / forward 1 second",
             [](W& w) { w.SeekBy(-1000); }},
            {Qt::Key_Right, Qt::ShiftModifier, "", "", [](W& w) { w.SeekBy(1000); }},
            {Qt::Key_Left, Qt::ControlModifier, "Ctrl+Left / Right", "Back / forward 1 minute",
             [](W& w) { w.SeekBy(-60000); }},
            {Qt::Key_Right, Qt::ControlModifier, "", "", [](W& w) { w.SeekBy(60000); }},
            {Qt::Key_Home, none, "Home", "To the start", [](W& w) { w.SeekTo(0); },
             "ToStartButton"},
            {Qt::Key_G, Qt::ControlModifier, "Ctrl+G", "Go to a time",
             [](W& w) { w.GoToTimeClick(); }, "MGoToTime"},
            {Qt::Key_F, Qt::ControlModifier, "Ctrl+F", "Find text on the screen",
             [](W& w) { w.OpenSearch(); }, "MFindText"},
            {Qt::Key_BracketLeft, none, "[ / ]", "Slower / faster",
             [](W& w) { w.ChangeSpeed(-1); }},
            {Qt::Key_BracketRight, none, "", "", [](W& w) { w.ChangeSpeed(1); }},
            {Qt::Key_Up, none, "Up / Down", "Volume up / down", [](W& w) { w.ChangeVolume(1); }},
            {Qt::Key_Down, none, "", "", [](W& w) { w.ChangeVolume(-1); }},
            {Qt::Key_M, none, "M", "Mute on and off", [](W& w) { w.ToggleMute(); }},
            {Qt::Key_F, none, "F / F11", "Full screen on and off",
             [](W& w) { w.ToggleFullScreen(); }, "MMaximize"},
            {Qt::Key_F11, none, "", "", [](W& w) { w.ToggleFullScreen(); }, "MMaximize"},
            {Qt::Key_Escape, none, "Escape", "Leave full screen, or close the search",
             [](W& w) {
                 if (!w.CloseSearch())
                     w.MRestoreClick();
             },
             "MRestore"},
            {Qt::Key_O, Qt::ControlModifier, "Ctrl+O", "Open a file", [](W& w) { w.MOpenClick(); },
             "MOpen LoadButton"},
            {Qt::Key_U, Qt::ControlModifier, "Ctrl+U", "Open a URL",
             [](W& w) { w.MOpenURLClick(); }, "MOpenURL"},
            {Qt::Key_W, Qt::ControlModifier, "Ctrl+W / Q", "Close the recording, or quit",
             [](W& w) { w.CloseOrQuit(); }, "MCloseRecording"},
            {Qt::Key_Q, none, "", "", [](W& w) { w.CloseOrQuit(); }, "MCloseRecording"},
            {Qt::Key_F1, none, "F1 / ?", "This list", [](W& w) { w.ToggleShortcutHelp(); },
             "MShortcuts"},
            {Qt::Key_Question, none, "", "", [](W& w) { w.ToggleShortcutHelp(); }, "MShortcuts"},
        };
        return table;
    }
};

QString TSRPlaybackDlg::KeysOf(const QString& target) {
    for (const TKeyBinding& binding : TSRPlaybackDlgKeys::Bindings())
        if (Targets(binding, target))
            return binding.Keys;
    return {};
}

// The menu shows the keys; on the entries they act only while the menu is open, as the window
// takes them everywhere else.
void TSRPlaybackDlg::ShowKeysInMenu() {
    for (QAction* entry : TePopupMenu1->actions()) {
        QList<QKeySequence> keys;
        for (const TKeyBinding& binding : TSRPlaybackDlgKeys::Bindings())
            if (Targets(binding, entry->objectName()))
                keys.append(QKeySequence(binding.Modifiers | binding.Key));
        entry->setShortcuts(keys);
        entry->setShortcutContext(Qt::WidgetShortcut);
    }
}

void TSRPlaybackDlg::keyPressEvent(QKeyEvent* event) {
    // Any key closes the shortcut list; its own keys only close it.
    if (ShortcutHelp->isVisible() && event->key() != Qt::Key_F1 &&
        event->key() != Qt::Key_Question) {
        ShortcutHelp->hide();
        if (event->key() == Qt::Key_Escape)
            return;
    }
    for (const TKeyBinding& binding : TSRPlaybackDlgKeys::Bindings()) {
        if (Matches(binding, *event)) {
            binding.Run(*this);
            event->accept();
            return;
        }
    }
    QMainWindow::keyPressEvent(event);
}

void TSRPlaybackDlg::PlayPauseKey() {
    if (PauseButton->isEnabled())
        PauseButtonClick();
    else if (PlayButton->isEnabled())
        PlayButtonClick();
}

void TSRPlaybackDlg::CloseOrQuit() {
    if (HasRecording())
        CloseRecording();
    else
        MCloseClick();
}

void TSRPlaybackDlg::ToggleFullScreen() {
    if (FFullScreen)
        MRestoreClick();
    else
        MMaximizeClick();
}

void TSRPlaybackDlg::ShowOverlayText(const std::string& text) {
    OverlayLabel->setText(QString::fromStdString(text));
    OverlayLabel->adjustSize();
    OverlayLabel->move(16, 16);
    OverlayLabel->show();
    OverlayLabel->raise();
    OverlayTimer->start(cOverlayTextMs);
}

std::string TSRPlaybackDlg::OverlayText() const {
    return OverlayLabel->isVisible() ? OverlayLabel->text().toStdString() : std::string();
}

void TSRPlaybackDlg::ToggleShortcutHelp() {
    if (ShortcutHelp->isVisible()) {
        ShortcutHelp->hide();
        return;
    }
    QString rows;
    for (const TKeyBinding& binding : TSRPlaybackDlgKeys::Bindings())
        if (*binding.Action)
            rows += QString("<tr><td><b>%1</b></td><td>&nbsp;&nbsp;%2</td></tr>")
                        .arg(QString(binding.Keys).toHtmlEscaped(), binding.Action);
    ShortcutHelp->setText("<table>" + rows + "</table>");
    ShortcutHelp->adjustSize();
    const QWidget* area = ShortcutHelp->parentWidget();
    ShortcutHelp->move((area->width() - ShortcutHelp->width()) / 2,
                       (area->height() - ShortcutHelp->height()) / 2);
    ShortcutHelp->show();
    ShortcutHelp->raise();
}

void TSRPlaybackDlg::CreateWatching() {
    OverlayLabel = new QLabel(PlayPanel);
    OverlayLabel->setObjectName("OverlayLabel");
    OverlayLabel->setStyleSheet("QLabel { color: white; background-color: rgba(0, 0, 0, 170);"
                                " padding: 6px 12px; border-radius: 6px; font-size: 16pt; }");
    OverlayLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    OverlayLabel->hide();
    OverlayTimer = CreateTimer("OverlayTimer", cOverlayTextMs);
    OverlayTimer->setSingleShot(true);
    connect(OverlayTimer, &QTimer::timeout, OverlayLabel, &QLabel::hide);
    StatusTextTimer = CreateTimer("StatusTextTimer", 2000);
    StatusTextTimer->setSingleShot(true);
    connect(StatusTextTimer, &QTimer::timeout, this, [this] {
        StreamProgress->show();
        StreamStatusPanel->setVisible(Buffering() || IndexingText());
    });
    ShortcutHelp = new QLabel(centralWidget());
    ShortcutHelp->setObjectName("ShortcutHelp");
    ShortcutHelp->setTextFormat(Qt::RichText);
    ShortcutHelp->setStyleSheet("QLabel { color: white; background-color: rgba(0, 0, 0, 200);"
                                " padding: 16px; border-radius: 8px; }");
    ShortcutHelp->hide();
    // Keys go to the window: a focused button would take Space for itself.
    for (QWidget* child : findChildren<QWidget*>())
        child->setFocusPolicy(Qt::NoFocus);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    ShowKeysInMenu();

    auto* speeds = new QActionGroup(MSpeed);
    for (const double speed : TVoiceShaper::Speeds) {
        QAction* entry = MSpeed->addAction(QString::fromStdString(SpeedText(speed)));
        entry->setObjectName(QString("MSpeed%1").arg(speed * 100));
        entry->setData(speed);
        entry->setCheckable(true);
        entry->setChecked(speed == 1.0);
        speeds->addAction(entry);
        connect(entry, &QAction::triggered, this, [this, speed] { SetSpeed(speed); });
    }
}

} // namespace vsr
