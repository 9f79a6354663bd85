// The life cycle of the open recording: opening (reader, overlay and voice track split,
// off-screen picture, voice stream, seek bar), closing, and the open dialog.
#include "player/SRPlaybackDlg.h"

#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "platform/TempFiles.h"
#include "player/ErrorBox.h"
#include "player/FileFilter.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/SoundAndOverlaySplit.h"
#include "recording/StreamAddress.h"
#include "shell/Format.h"
#include "shell/Messages.h"

#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QTimer>
#include <QToolButton>

#include <filesystem>

namespace vsr {

bool TSRPlaybackDlg::OpenRecording(const std::string& name) {
    try {
        OpenFile(name);
        return true;
    } catch (const std::exception& error) {
        CloseRecording();
        ShowErrorBox(this, error.what());
        return false;
    }
}

void TSRPlaybackDlg::OpenFile(const std::string& name) {
    CloseRecording();
    // A download plays from the stream's events once enough has arrived.
    if (IsStreamAddress(name)) {
        OpenStream(name);
        return;
    }
    std::error_code ignored;
    if (!std::filesystem::exists(name, ignored))
        throw Exception(Format(sFileNotFound, name));
    FReader = std::make_unique<TScreenRecorderPlaybackFile>(name);
    FReader->OnKeyFrame = [](TCustomScreenRecorderPlaybackFile&) {};
    ExtractAudio(FReader->GetStream(), FReader->Header().AudioOffset);
    PrepareBitmap(FReader->Header().Width, FReader->Header().Height);
    FAudioStream =
        std::make_unique<TSpxStream>(FAudioFile, TFileMode::OpenRead, TSpxSilences::Load);
    SetupSeekBar();
    CreatePreview();
    delete InfoPanel.data();
    PlayButtonClick();
}

void TSRPlaybackDlg::ExtractAudio(TStream& source, std::int64_t audioOffset) {
    TSoundAndOverlay split = SplitSoundAndOverlay(source, audioOffset);
    FOverlay = std::move(split.Overlay);
    FAudioFile = std::move(split.SoundFileName);
}

void TSRPlaybackDlg::PrepareBitmap(std::int32_t width, std::int32_t height) {
    if (!FBitmap)
        FBitmap = std::make_unique<TBitmap32>();
    vsr::PrepareBitmap(*FBitmap, width, height);
}

// Also the end of every failed opening: whatever was half built is released here.
void TSRPlaybackDlg::CloseRecording() {
    CancelExport();   // its worker reads the recording's file
    EndSearch();      // so does the text index's
    DestroyPreview(); // its worker reads the reader's file
    UpdateTimer->stop();
    HeaderDelayTimer->stop();
    TrailerDelayTimer->stop();
    AudioPlayback.Stop();
    FPlaying = false;
    BackExec1.Terminate();
    FStopEvent.Set();
    BackExec1.WaitFor(TWaitMode::ProcessMessages);
    FAudioStream.reset(); // a streamed voice asks its reader how much has arrived
    FReader.reset();
    FNextFrame.Valid = false;
    RestartClock(0);
    ClearSeekBar();
    FBitmap.reset();
    FOverlay.reset();
    if (!FAudioFile.empty())
        DeleteTempFile(std::exchange(FAudioFile, {}));
    PlayPanel->update();
    FRunEvent.Reset();
    for (QToolButton* button :
         {ToStartButton, StopButton, PauseButton, RewindButton, FFWButton, PlayButton})
        button->setEnabled(false);
}

void TSRPlaybackDlg::MOpenClick() {
    ShowMouseCursor(true);
    HideMouseTimer->stop();
    QFileDialog dialog(this);
    dialog.setObjectName("OpenDialog");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(QtNameFilters(sVSRFilter));
    dialog.setDefaultSuffix("vsr");
    dialog.selectFile(QString());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        OpenRecording(dialog.selectedFiles().front().toStdString());
    if (!HeaderDelayTimer->isActive())
        HideMouseTimer->start();
}

} // namespace vsr
