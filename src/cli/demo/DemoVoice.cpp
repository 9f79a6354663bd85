#include "cli/demo/DemoVoice.h"

#include "cli/demo/SpeechSynthesis.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace vsr::cli::demo {

namespace {

constexpr std::uint32_t cRate = 8000;
constexpr std::uint32_t cGapMs = 300; // at least this much silence between two lines

std::vector<std::int16_t> Tone(double frequency, std::uint32_t ms) {
    const double pi = std::acos(-1.0);
    std::vector<std::int16_t> samples(ms * cRate / 1000);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / cRate;
        const double fade =
            std::min(1.0, std::min(t, static_cast<double>(samples.size() - i) / cRate) * 40);
        samples[i] =
            static_cast<std::int16_t>(std::lround(7000 * fade * std::sin(2 * pi * frequency * t)));
    }
    return samples;
}

} // namespace

std::vector<std::int16_t> Melody(std::size_t index) {
    constexpr std::array<double, 8> cScale{262, 294, 330, 349, 392, 440, 494, 523};
    std::vector<std::int16_t> samples;
    for (std::size_t note = 0; note < 4; ++note) {
        const auto tone = Tone(cScale[(index * 3 + note * 2) % cScale.size()], 350);
        samples.insert(samples.end(), tone.begin(), tone.end());
        samples.insert(samples.end(), cRate / 20, 0);
    }
    return samples;
}

TDemoVoice MakeDemoVoice(const std::vector<TSpokenLine>& lines, std::uint32_t lengthMs) {
    TDemoVoice voice;
    voice.Samples.assign(static_cast<std::size_t>(lengthMs) * cRate / 1000, 0);
    voice.Source = TVoiceSource::Speech;
    std::size_t free = 0; // first sample after the last line and its gap
    for (std::size_t i = 0; i < lines.size(); ++i) {
        auto spoken = Speak(lines[i].Text);
        if (!spoken)
            voice.Source = TVoiceSource::Melody;
        const std::vector<std::int16_t> sound = spoken ? std::move(*spoken) : Melody(i);
        const std::size_t start = std::max<std::size_t>(free, lines[i].StartMs * cRate / 1000);
        if (start >= voice.Samples.size())
            break;
        const std::size_t count = std::min(sound.size(), voice.Samples.size() - start);
        std::copy_n(sound.begin(), count,
                    voice.Samples.begin() + static_cast<std::ptrdiff_t>(start));
        free = start + count + cGapMs * cRate / 1000;
    }
    return voice;
}

} // namespace vsr::cli::demo
