// The transport: the buttons and their enabled states, the header and trailer pictures with
// their timers, the key-frame jumps, the end of playback and errors of the loop.
#include "player/SRPlaybackDlg.h"

#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "player/ErrorBox.h"
#include "player/WebLink.h"
#include "shell/Trace.h"

#include <QTimer>
#include <QToolButton>

namespace vsr {

void TSRPlaybackDlg::PlayButtonClick() {
    if (!FReader || !FAudioStream || !FBitmap)
        return;
    if (!AudioPlayback.Paused()) {
        PlayFromBeginning();
        return;
    }
    AudioPlayback.SetPaused(false);
    FRunEvent.Set();
    PauseButton->setEnabled(true);
    PlayButton->setEnabled(false);
    UpdateTimer->start();
    RewindButton->setEnabled(true);
    FFWButton->setEnabled(true);
}

// A run that has not ended yet (Stop does not wait for it, and after the audio has run dry
// the loop may still be drawing or waiting) is ended first, so that the reader is never
// rewound under the worker and the new run can start.
void TSRPlaybackDlg::EndActiveRun() {
    if (BackExec1.Finished())
        return;
    BackExec1.Terminate();
    FStopEvent.Set();
    BackExec1.WaitFor(TWaitMode::ProcessMessages);
}

void TSRPlaybackDlg::PlayFromBeginning() {
    EndActiveRun();
    FBitmap->SetSize(0, FReader->Header().Height);
    FBitmap->SetSize(FReader->Header().Width, FReader->Header().Height);
    UpdateLayout();
    FReader->SeekTime(0);
    FNextFrame.Valid = false;
    FAudioStream->Seek(0, TSeekOrigin::Begin);
    RestartClock(0);
    AudioTrackBar->SetPosition(0); // the header shows before the first display update
    ShowTimes(0);
    FLastX = -1;
    FLastY = -1;
    FStopEvent.Reset();
    FRunEvent.Set();
    const TPicture* header = FOverlay ? FOverlay->HeaderPicture() : nullptr;
    if (header) {
        Trace("Displaying header...");
        HeaderDelayTimer->start(FOverlay->HeaderDelay() * 1000);
        DrawCentred(header);
        PlayButton->setEnabled(false);
    } else {
        HeaderDelayTimerTimer();
    }
    TrailerDelayTimer->stop();
    ToStartButton->setEnabled(true);
    StopButton->setEnabled(true);
}

void TSRPlaybackDlg::StartRun(const char* origin) {
    TraceFmt("BackExec1.Execute from %s", origin);
    AudioPlayback.Start();
    FPlaying = true;
    BackExec1.Execute();
}

void TSRPlaybackDlg::HeaderDelayTimerTimer() {
    HeaderDelayTimer->stop();
    StartRun("Header Delay Timer");
    HideMouseTimer->start();
    PauseButton->setEnabled(true);
    PlayButton->setEnabled(false);
    UpdateTimer->start();
    RewindButton->setEnabled(true);
    FFWButton->setEnabled(true);
}

void TSRPlaybackDlg::PauseButtonClick() {
    FRunEvent.Reset();
    Trace("Pause hit. Running event reset.");
    UpdateTimer->stop();
    AudioPlayback.SetPaused(true);
    PauseButton->setEnabled(false);
    PlayButton->setEnabled(true);
}

void TSRPlaybackDlg::StopButtonClick() {
    AudioPlayback.Stop();
    FPlaying = false;
    AudioPlayback.SetPaused(false);
    BackExec1.Terminate();
    FStopEvent.Set();
    HeaderDelayTimer->stop();
    UpdateTimer->stop();
    StopButton->setEnabled(false);
    PauseButton->setEnabled(false);
    PlayButton->setEnabled(true);
    RewindButton->setEnabled(false);
    FFWButton->setEnabled(false);
}

void TSRPlaybackDlg::ToStartButtonClick() {
    StopButtonClick();
    BackExec1.WaitFor(TWaitMode::ProcessMessages);
    if (FBitmap && FReader) {
        FBitmap->SetSize(0, FReader->Header().Height);
        FBitmap->SetSize(FReader->Header().Width, FReader->Header().Height);
    }
    PlayPanel->update();
    PlayButtonClick();
}

void TSRPlaybackDlg::RewindButtonClick() {
    JumpKeyFrame(false);
}

void TSRPlaybackDlg::FFWButtonClick() {
    JumpKeyFrame(true);
}

void TSRPlaybackDlg::StopRunAndWait() {
    UpdateTimer->stop();
    AudioPlayback.Stop();
    FPlaying = false;
    BackExec1.Terminate();
    FStopEvent.Set();
    BackExec1.WaitFor(TWaitMode::ProcessMessages);
    FStopEvent.Reset();
}

// The buttons and the run event stay as they were: a jump while paused draws the first tile
// of the new key frame and halts. Stopping the wave output clears its pause, so the pause is
// put back before it starts again: the sound stays silent and Play resumes from the new place.
void TSRPlaybackDlg::JumpKeyFrame(bool forward) {
    if (!FAudioStream)
        return;
    const bool paused = AudioPlayback.Paused();
    StopRunAndWait();
    Trace("Seek key frame");
    FNextFrame.Valid = false;
    const std::uint32_t time = FReader->SeekKeyFrame(forward);
    if (time < FReader->Header().StopTickCount) {
        FAudioStream->SetPlayPosition(static_cast<std::uint32_t>(time * 16u));
        RestartClock(FAudioStream->Position());
        FLastX = -1;
        FLastY = -1;
        AudioPlayback.SetPaused(paused);
        StartRun("Seek Key Frame");
        UpdateTimer->start();
        return;
    }
    {
        const auto lock = FBitmap->CanvasLock();
        FBitmap->Fill(Black32);
    }
    FBitmap->MarkModified();
    AudioRanDry();
    AudioTrackBar->SetPosition(AudioTrackBar->Max());
    EndOfPlayback();
}

void TSRPlaybackDlg::AudioPlaybackStop() {
    AudioRanDry();
    EndOfPlayback();
}

// The end of playback is left to the caller, so that a jump past the end reaches it once
// (twice would open the closing link twice).
void TSRPlaybackDlg::AudioRanDry() {
    FPlaying = false;
    UpdateTimer->stop();
    StopButton->setEnabled(false);
    PauseButton->setEnabled(false);
    RewindButton->setEnabled(false);
    FFWButton->setEnabled(false);
    PlayButton->setEnabled(true);
    UpdateTimerTimer();
}

void TSRPlaybackDlg::BackExec1Finished() {
    EndOfPlayback();
    HideMouseTimer->stop();
    Trace("Show cursor at the end of playback");
    ShowMouseCursor(true);
}

// Acts only for the later of the two ends (loop and audio), and never after Stop.
void TSRPlaybackDlg::EndOfPlayback() {
    const bool stopped = FStopEvent.Wait(std::chrono::milliseconds(0));
    if (!BackExec1.Finished() || AudioPlayback.Active() || stopped || !FOverlay)
        return;
    const TPicture* trailer = FOverlay->TrailerPicture();
    if (trailer && !trailer->Empty()) {
        Trace("Display trailer");
        DrawCentred(trailer);
        TrailerDelayTimer->start(FOverlay->TrailerDelay() * 1000);
    } else {
        TrailerDelayTimerTimer();
    }
}

void TSRPlaybackDlg::TrailerDelayTimerTimer() {
    TrailerDelayTimer->stop();
    if (FOverlay && !FOverlay->Link().empty()) {
        Trace("Launch URL");
        OpenWebLink(FOverlay->Link());
    }
}

// Runs on the worker: the message is handed to the main thread.
void TSRPlaybackDlg::BackExec1Error(const std::exception& error) {
    {
        std::lock_guard guard(FLoopErrorLock);
        FLoopErrors.emplace_back(error.what());
    }
    FMessages->Post({cLoopErrorMessage, 0, 0});
}

void TSRPlaybackDlg::ShowLoopErrors() {
    std::deque<std::string> errors;
    {
        std::lock_guard guard(FLoopErrorLock);
        errors.swap(FLoopErrors);
    }
    for (const std::string& text : errors) {
        StopButtonClick();
        ShowErrorBox(this, text);
    }
}

} // namespace vsr
