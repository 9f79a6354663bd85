// Creation and destruction of the player window, its private messages and its close query.
#include "player/SRPlaybackDlg.h"

#include "audio/SndKitLibrary.h"
#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "platform/TempFiles.h"
#include "shell/Format.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <QCloseEvent>
#include <QTimer>

namespace vsr {

TSRPlaybackDlg::TSRPlaybackDlg(QWidget* parent) : QMainWindow(parent) {
    setObjectName("SRPlaybackDlg");
    const QString caption = QString::fromStdString(Format(sSRPlayerLinkName, ""));
    setWindowTitle(caption);
    CreateControls();
    WireComponents();
    // The framed view: controls shown, the picture stretched to fit.
    ControlsPanel->show();
    UpdateLayout();
    FOutsideMenu = true;
    FCursorShown = true;
}

TSRPlaybackDlg::~TSRPlaybackDlg() {
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
    case cCloseSourceMessage:
        CloseRecording();
        break;
    case cLoopErrorMessage:
        ShowLoopErrors();
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
