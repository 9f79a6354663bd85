// Creation and destruction of the player window, its private messages and its close query.
#include "player/SRPlaybackDlg.h"

#include "app/Registration.h"
#include "audio/SndKitLibrary.h"
#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "platform/TempFiles.h"
#include "player/ButtonHints.h"
#include "player/EventHook.h"
#include "player/HoverPreview.h"
#include "player/International.h"
#include "shell/Format.h"
#include "shell/LanguageFile.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <QCloseEvent>
#include <QFrame>
#include <QMenu>
#include <QTimer>

namespace vsr {

// The framed view of "/debug", without registration and without a source of its own.
TSRPlaybackDlg::TSRPlaybackDlg(QWidget* parent)
    : TSRPlaybackDlg(TPlayerStartUp{{"/debug"}, ExePath(), TStartUpMode::WindowOnly}, parent) {}

TSRPlaybackDlg::TSRPlaybackDlg(const TPlayerStartUp& startUp, QWidget* parent)
    : QMainWindow(parent) {
    BuildWindow();
    // The texts of the language file go on the finished window, before its start-up code.
    International1 = new TInternational(this);
    International1->setObjectName("International1");
    International1->Loaded(LanguageFileName(startUp.ExePath));
    AddKeysToToolTips(*ControlsPanel, &TSRPlaybackDlg::KeysOf);
    FormCreate(startUp);
}

void TSRPlaybackDlg::BuildWindow() {
    setObjectName("SRPlaybackDlg");
    CreateControls();
    CreateMenus();
    CreateHintPanel();
    CreateWatching();
    CreateSearch(); // after the watching's focus rules, which would take the field's focus
    WireComponents();
}

TSRPlaybackDlg::~TSRPlaybackDlg() {
    // The hooks call back into this window, which is no longer whole while Qt deletes the
    // children.
    TePopupMenu1->removeEventFilter(ControlHook1);
    PlayPanel->removeEventFilter(PlayPanelHook);
    FormDestroy();
}

void TSRPlaybackDlg::WireComponents() {
    AudioPlayback.SetBufferSize(cPlaybackBufferSize);
    AudioPlayback.SetFrameRate(cPlaybackFrameRate);
    AudioPlayback.OnFillBuffer = [this](std::span<std::byte> buffer, std::int32_t& size) {
        return AudioPlaybackFillBuffer(buffer, size);
    };
    AudioPlayback.OnStop = [this](TAudioIO&) { AudioPlaybackStop(); };
    BackExec1.SetPriority(TThreadPriority::Lowest);
    BackExec1.OnExec = [this](TCustomBackExec& sender) { BackExec1Exec(sender); };
    BackExec1.OnFinished = [this](TCustomBackExec&) { BackExec1Finished(); };
    BackExec1.OnError = [this](TCustomBackExec&, const std::exception& error) {
        BackExec1Error(error);
    };
    FMessages =
        MessageQueue().CreateTarget([this](const TMessage& message) { MessageReceived(message); });
}

void TSRPlaybackDlg::MessageReceived(const TMessage& message) {
    switch (message.Msg) {
    case cStartSourceMessage:
        StartSource();
        break;
    case cCloseSourceMessage:
        CloseRecording();
        break;
    case cLoopErrorMessage:
        ShowLoopErrors();
        break;
    case cRepaintMessage:
        FRepaintPosted = false;
        RepaintChanges(); // Qt paints at most once per refresh
        break;
    default:
        break;
    }
}

void TSRPlaybackDlg::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}

void TSRPlaybackDlg::FormCloseQuery() {
    Timer1->stop();
    Timer2->stop();
    HideMouseTimer->stop();
    CloseRecording();
}

// The sound library copy is released and deleted here; a library chosen from elsewhere (the
// one beside the executable) stays loaded for the program's end.
void TSRPlaybackDlg::FormDestroy() {
    CloseRecording();
    if (FSndKitCopy.empty())
        return;
    if (SndKitLibrary().FileName() == FSndKitCopy) {
        FinishSndKitLibrary();
        SndKitLibrary().SetFileName("");
    }
    DeleteTempFile(FSndKitCopy);
    FSndKitCopy.clear();
}

void TSRPlaybackDlg::ShowMouseCursor(bool show) {
    if (show == FCursorShown)
        return;
    FCursorShown = show;
    if (show)
        PlayPanel->unsetCursor();
    else
        PlayPanel->setCursor(Qt::BlankCursor);
}

} // namespace vsr
