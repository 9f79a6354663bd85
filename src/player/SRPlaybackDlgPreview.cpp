// The hover preview over the seek bar: the picture at the time under the pointer, composed from
// a reader of its own on the recording's file, so that the playback loop's reader is left alone.
#include "player/SRPlaybackDlg.h"

#include "controls/PlayTrackBar.h"
#include "player/EventHook.h"
#include "player/HoverPreview.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "recording/ScreenRecorderPlaybackStream.h"

#include <QEvent>
#include <QMouseEvent>

#include <algorithm>

namespace vsr {

// A file is whole when opened; a stream's temporary file only once both parts have arrived,
// since frames of segments still missing read as damage.
void TSRPlaybackDlg::CreatePreview() {
    DestroyPreview();
    if (!FReader || !FAudioStream)
        return;
    if (const TScreenRecorderPlaybackStream* stream = StreamReader();
        stream && !(stream->KeyFramesKnown() && stream->FirstPartDone()))
        return;
    // The extracted copy of an appended recording and a stream's temporary file both outlive
    // the preview, which goes before the reader in CloseRecording.
    const std::string fileName = FReader->FileName();
    const TVSRHeader& header = FReader->Header();
    FPreview =
        std::make_unique<THoverPreview>(this, QSize(header.Width, header.Height), [fileName] {
            return std::make_unique<TScreenRecorderPlaybackFile>(fileName);
        });
    FPreview->setObjectName("HoverPreview");
    FPreviewHook = std::make_unique<TEventHook>(
        nullptr, [this](QEvent* event) { return AudioTrackBarEvent(event); });
    FPreviewHook->Attach(AudioTrackBar);
}

void TSRPlaybackDlg::DestroyPreview() {
    FPreviewHook.reset();
    FPreview.reset();
}

// The time under the pointer is where the thumb would stand; the bar still gets every event,
// and its own handling drops the presses.
bool TSRPlaybackDlg::AudioTrackBarEvent(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseMove: {
        const QPoint pointer = static_cast<QMouseEvent*>(event)->position().toPoint();
        const std::int32_t value = AudioTrackBar->PositionAt(AudioTrackBar->ToTrack(pointer).x());
        const auto time = static_cast<std::uint32_t>(std::max(0, value) / cPcmBytesPerMs);
        FPreview->ShowAt(time, AudioTrackBar->mapTo(this, QPoint(pointer.x(), 0)));
        break;
    }
    case QEvent::Leave:
    case QEvent::Hide:
        FPreview->hide();
        break;
    default:
        break;
    }
    return false;
}

} // namespace vsr
