#pragma once
// The demo's voice track: sentences spoken by espeak-ng when it is installed, otherwise a
// short tone melody in their place; silence between them. 8000 Hz, mono, 16-bit.

#include <cstdint>
#include <string>
#include <vector>

namespace vsr::cli::demo {

struct TSpokenLine {
    std::uint32_t StartMs; // a line starts later when the one before has not ended yet
    std::string Text;
};

enum class TVoiceSource { Speech, Melody };

struct TDemoVoice {
    std::vector<std::int16_t> Samples;
    TVoiceSource Source = TVoiceSource::Melody;
};

// lengthMs of sound with the lines at their places (cut at the end).
TDemoVoice MakeDemoVoice(const std::vector<TSpokenLine>& lines, std::uint32_t lengthMs);

// A few notes of about 1.6 s; the stand-in for a line when nothing can speak.
std::vector<std::int16_t> Melody(std::size_t index);

} // namespace vsr::cli::demo
