// The start-up of the player: the install switches, the window's start-up in its order, the
// source opened once the window is shown (the argument, else the appended recording).
#include "player/SRPlaybackDlg.h"

#include "app/Registration.h"
#include "audio/SndKitLibrary.h"
#include "controls/UserPaintPanel.h"
#include "player/ErrorBox.h"
#include "player/EventHook.h"
#include "player/International.h"
#include "player/PlayerIcon.h"
#include "shell/Format.h"
#include "shell/LanguageFile.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <cctype>

namespace vsr {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

constexpr std::string_view cSwitches[] = {"/debug", "/install", "/uninstall"};

// The desktop may pass a file it opens with the player as a file:// URL ("%u").
std::string LocalFileOf(const std::string& arg) {
    if (!EqualNoCase(std::string_view(arg).substr(0, 7), "file://"))
        return arg;
    const QUrl url(QString::fromStdString(arg));
    return url.isLocalFile() ? url.toLocalFile().toStdString() : arg;
}

} // namespace

bool HasSwitch(const std::vector<std::string>& arguments, std::string_view name) {
    return std::ranges::any_of(arguments,
                               [name](const std::string& arg) { return EqualNoCase(arg, name); });
}

std::string SourceArgument(const std::vector<std::string>& arguments) {
    // Absolute paths begin with "/" too, so only the player's own switches are passed over.
    for (const std::string& arg : arguments)
        if (!arg.empty() && !std::ranges::any_of(cSwitches, [&arg](std::string_view name) {
                return EqualNoCase(arg, name);
            }))
            return LocalFileOf(arg);
    return {};
}

TSwitchAction RunInstallSwitches(const std::vector<std::string>& arguments,
                                 const std::string& exePath) {
    if (HasSwitch(arguments, "/uninstall")) {
        SndKitLibrary().SetFileName("");
        UnregisterFileType("vsr");
        UnregisterURLProtocol("vsrfile");
        return TSwitchAction::Uninstalled;
    }
    if (HasSwitch(arguments, "/install")) {
        SndKitLibrary().SetFileName("");
        const std::string description(sAudioAndVisual);
        RegisterFileType("vsr", exePath, exePath, description);
        RegisterURLProtocol("vsrfile", exePath, exePath, description);
        return TSwitchAction::Installed;
    }
    return TSwitchAction::None;
}

// The window's own start-up; the install switches were handled before it was built, and the
// sound library is chosen by the program's entry.
void TSRPlaybackDlg::FormCreate(const TPlayerStartUp& startUp) {
    FExePath = startUp.ExePath;
    FStartUpMode = startUp.Mode;
    FSourceArgument = SourceArgument(startUp.Arguments);
    FRandomNames = std::make_unique<TRandomNames>();
    const QString caption = QString::fromStdString(Format(sSRPlayerLinkName, ""));
    QApplication::setApplicationDisplayName({});
    setWindowTitle(caption);
    setWindowIcon(PlayerIcon());
    if (FStartUpMode == TStartUpMode::Program)
        RegisterSilently();
    if (HasSwitch(startUp.Arguments, "/debug")) {
        MStretch->setChecked(true);
        ControlsPanel->show();
    } else {
        MStretch->setChecked(false);
        ControlsPanel->hide();
        MMaximizeClick();
    }
    UpdateLayout();
    FOutsideMenu = true;
    FCursorShown = true;
    ControlHook1->Attach(TePopupMenu1);
}

// A registration that fails (a read-only home, say) must not keep the player from playing.
void TSRPlaybackDlg::RegisterSilently() {
    try {
        const std::string description(sAudioAndVisual);
        RegisterFileType("vsr", FExePath, FExePath, description);
        RegisterURLProtocol("vsrfile", FExePath, FExePath, description);
    } catch (const std::exception& error) {
        TraceFmt("Registration failed: %s", error.what());
    }
}

void TSRPlaybackDlg::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FormShow();
}

// Only the first showing opens the source; restoring from the task bar shows again.
void TSRPlaybackDlg::FormShow() {
    if (FStartUpMode != TStartUpMode::Program || FSourceStarted)
        return;
    FSourceStarted = true;
    FMessages->Post(TMessage{cStartSourceMessage, 0, 0});
}

// The argument is what the desktop passes for a registered file or address; without one the
// player plays the recording appended to itself.
void TSRPlaybackDlg::StartSource() {
    try {
        if (!FSourceArgument.empty())
            OpenRecording(FSourceArgument);
        else
            ExtractAppendedRecording();
    } catch (const std::exception& error) {
        ShowErrorBox(this, error.what());
    }
    Timer1->start();
}

void TSRPlaybackDlg::ExtractAppendedRecording() {
    FExtractedCopy = vsr::ExtractAppendedRecording(FExePath, *FRandomNames);
    if (!FExtractedCopy) {
        ShowOpenHint();
        return;
    }
    FExtractedFile = FExtractedCopy->FileName();
    OpenRecording(FExtractedFile);
}

// A player without a recording is not an error: it is opened to open recordings.
void TSRPlaybackDlg::ShowOpenHint() {
    if (!InfoPanel)
        return;
    InfoPanel->setGeometry(0, 0, std::max(PlayPanel->width(), 400), 60);
    InfoPanel->show();
    InfoPanel->raise();
}

} // namespace vsr
