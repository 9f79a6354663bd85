// The seek bar and the time display: set up from the voice track, moved by the update timer.
#include "player/SRPlaybackDlg.h"

#include "audio/SoundIntervals.h"
#include "controls/PlayTrackBar.h"
#include "controls/UserPaintPanel.h"
#include "player/TimeText.h"
#include "shell/Format.h"
#include "shell/Messages.h"

#include <QLabel>

namespace vsr {

std::string FormatTime(std::int64_t seconds, std::string_view separator) {
    return Format("%d%s%.2d%s%.2d", seconds / 3600, separator, (seconds % 3600) / 60, separator,
                  seconds % 60);
}

void TSRPlaybackDlg::ShowTimes(std::uint32_t elapsedSeconds) {
    TimeLabel->setText(TimeText(*TimeLabel, QString::fromStdString(FormatTime(elapsedSeconds, ":")),
                                QString::fromStdString(FormatTime(FAudioStream->Duration(), ":"))));
}

// Raises the seek bar's range error for a voice track of fewer than 10 decoded bytes.
void TSRPlaybackDlg::SetupSeekBar() {
    const auto size = static_cast<std::int32_t>(FAudioStream->Size());
    AudioTrackBar->SetMax(size);
    AudioTrackBar->SetFrequency(size / 10);
    ShowTimes(0);
    AudioTrackBar->Intervals().FreeAll();
    for (const TSoundInterval& interval : SoundIntervals(*FAudioStream))
        AudioTrackBar->Intervals().Add(interval.From, interval.To);
    AudioTrackBar->update();
}

// Without a recording the bar and the time display show nothing of the last one.
void TSRPlaybackDlg::ClearSeekBar() {
    AudioTrackBar->SetPosition(0);
    AudioTrackBar->Intervals().FreeAll();
    AudioTrackBar->update();
    TimeLabel->clear();
}

void TSRPlaybackDlg::UpdateTimerTimer() {
    if (FAudioStream) {
        AudioTrackBar->SetPosition(static_cast<std::int32_t>(HeardBytes()));
        ShowTimes(PlayTime() / 1000);
    }
    RepaintChanges();
    // The text may have been cleared at the start after the last progress message had set it.
    const bool buffering = Buffering();
    if (buffering && !StatusTextTimer->isActive())
        StreamStatusLabel->setText(QString::fromUtf8(sVSRStreamBuffering.data(),
                                                     static_cast<int>(sVSRStreamBuffering.size())));
    StreamStatusPanel->setVisible(buffering || StatusTextTimer->isActive() || IndexingText());
}

// The bar only displays progress: every press is dropped before the bar acts on it.
void TSRPlaybackDlg::AudioTrackBarMouseDown(TCustomSliderBar&, const TSliderMouse&,
                                            TMousePress& press) {
    press = TMousePress::Abort;
}

} // namespace vsr
