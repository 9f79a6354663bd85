// Exact seek: the picture, pointer and voice at any time, reached by keys and the go-to box.
#include "player/SRPlaybackDlg.h"

#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "player/GoToTimeBox.h"
#include "recording/ScreenRecorderPlaybackStream.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <limits>

namespace vsr {

namespace {

constexpr int cStatusTextMs = 2000;

} // namespace

std::uint32_t TSRPlaybackDlg::RecordingLength() const {
    if (!FReader)
        return 0;
    const TVSRHeader& header = FReader->Header();
    const std::uint32_t pictures = header.StopTickCount - header.StartTickCount;
    const std::int64_t voice = FAudioStream ? FAudioStream->Size() / cPcmBytesPerMs : 0;
    return static_cast<std::uint32_t>(std::max<std::int64_t>(pictures, voice));
}

// A stream reads only what has arrived: the key-frame index comes with its last part, and
// composing reads the time's segment and may read into the next one.
bool TSRPlaybackDlg::SeekAllowed(std::uint32_t ms) const {
    const TScreenRecorderPlaybackStream* stream = StreamReader();
    if (!stream)
        return true;
    if (!stream->KeyFramesKnown() || !FAudioStream)
        return false;
    const std::optional<std::size_t> keyFrame = KeyFrameAt(*stream, ms);
    return keyFrame ? stream->MayReadSegment(static_cast<std::int32_t>(*keyFrame) + 1)
                    : stream->FirstPartDone();
}

void TSRPlaybackDlg::ShowStatusText(std::string_view text) {
    StreamStatusLabel->setText(QString::fromUtf8(text.data(), static_cast<int>(text.size())));
    StreamProgress->hide();
    StreamStatusPanel->show();
    StreamStatusPanel->raise();
    StatusTextTimer->start(cStatusTextMs);
}

void TSRPlaybackDlg::SetTransportRunning(bool paused) {
    PlayButton->setEnabled(paused);
    PauseButton->setEnabled(!paused);
    StopButton->setEnabled(true);
    ToStartButton->setEnabled(true);
    RewindButton->setEnabled(true);
    FFWButton->setEnabled(true);
}

// A stopped or ended recording stays where it was put, paused, so that Play goes on from
// there; the header's wait and the trailer's link are dropped.
bool TSRPlaybackDlg::SeekTo(std::uint32_t ms) {
    if (!FReader)
        return false;
    if (!SeekAllowed(ms)) {
        ShowStatusText(sVSRStreamCantSeekNow);
        return false;
    }
    if (!FAudioStream || !FBitmap)
        return false;
    ms = std::min(ms, RecordingLength());
    const bool headerShown = HeaderDelayTimer->isActive();
    // The run event, not the wave output, tells a pause: an output that found no data has
    // already dropped its pause.
    const bool paused = !headerShown && (!FRunEvent.Signalled() || !FPlaying);
    HeaderDelayTimer->stop();
    TrailerDelayTimer->stop();
    StopRunAndWait();
    TraceFmt("Seek to %u", ms);
    const TVSRHeader& header = FReader->Header();
    PrepareBitmap(header.Width, header.Height);
    ComposeAt(*FReader, ms, *FBitmap, &FNextFrame); // each tile under the canvas lock
    FBitmap->MarkModified();
    const TPoint cursor = CursorPosAt(FReader->Cursors(), ms);
    FCursorX = cursor.X;
    FCursorY = cursor.Y;
    const std::int64_t position = FAudioStream->SeekFrame(std::int64_t{ms} * cPcmBytesPerMs);
    RestartClock(position);
    // The record read past waits for its own time, as a new screen update does.
    FLastX = std::numeric_limits<std::int32_t>::max();
    FLastY = std::numeric_limits<std::int32_t>::max();
    if (paused)
        FRunEvent.Reset();
    else
        FRunEvent.Set();
    AudioPlayback.SetPaused(paused);
    StartRun("Seek");
    SetTransportRunning(paused);
    if (paused)
        UpdateTimer->stop();
    else
        UpdateTimer->start();
    AudioTrackBar->SetPosition(static_cast<std::int32_t>(position));
    ShowTimes(ms / 1000);
    PlayPanel->update();
    return true;
}

void TSRPlaybackDlg::SeekBy(std::int64_t deltaMs) {
    if (!FReader)
        return;
    const std::int64_t target = std::int64_t{PlayTime()} + deltaMs;
    SeekTo(static_cast<std::uint32_t>(
        std::clamp<std::int64_t>(target, 0, std::numeric_limits<std::uint32_t>::max())));
}

void TSRPlaybackDlg::GoToTimeClick() {
    if (!FReader || !FAudioStream)
        return;
    auto* box = new TGoToTimeBox(this, RecordingLength());
    connect(box, &QDialog::finished, box, &QObject::deleteLater);
    connect(box, &TGoToTimeBox::TimeChosen, this, [this](std::uint32_t ms) { SeekTo(ms); });
    box->open();
}

} // namespace vsr
