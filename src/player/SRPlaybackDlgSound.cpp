// Speed and volume of the voice. The pictures follow the voice at every speed, as its count of
// what was played is the only clock; the time display keeps to recording time.
#include "player/SRPlaybackDlg.h"

#include "shell/Format.h"

#include <QAction>
#include <QMenu>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace vsr {

namespace {

constexpr int cVolumeStep = 10;

} // namespace

std::string SpeedText(double speed) {
    std::string text = Format("%.2f", speed);
    while (text.back() == '0')
        text.pop_back();
    if (text.back() == '.')
        text.pop_back();
    return text + "\u00d7";
}

void TSRPlaybackDlg::ChangeSpeed(int steps) {
    const auto& speeds = TVoiceShaper::Speeds;
    const auto current = std::ranges::find(speeds, FShaper.Speed());
    const auto index = std::clamp<std::ptrdiff_t>(std::distance(speeds.begin(), current) + steps, 0,
                                                  std::ssize(speeds) - 1);
    SetSpeed(speeds[static_cast<std::size_t>(index)]);
}

// A run in progress goes on from where it is heard, with the stretcher emptied.
void TSRPlaybackDlg::SetSpeed(double speed) {
    const bool running = FPlaying && FReader && FAudioStream;
    const std::uint32_t now = PlayTime();
    FShaper.SetSpeed(speed);
    if (running)
        SeekTo(now);
    else
        RestartClock(FAudioStream ? FAudioStream->Position() : 0);
    for (QAction* entry : MSpeed->actions())
        entry->setChecked(entry->data().toDouble() == speed);
    ShowOverlayText("Speed " + SpeedText(speed));
}

void TSRPlaybackDlg::ChangeVolume(int steps) {
    FShaper.SetMuted(false);
    FShaper.SetVolume(FShaper.Volume() + steps * cVolumeStep);
    ShowOverlayText(Format("Volume %d%%", FShaper.Volume()));
}

void TSRPlaybackDlg::ToggleMute() {
    FShaper.SetMuted(!FShaper.Muted());
    ShowOverlayText(FShaper.Muted() ? std::string("Muted")
                                    : Format("Volume %d%%", FShaper.Volume()));
}

} // namespace vsr
