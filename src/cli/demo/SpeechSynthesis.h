#pragma once
// Speech from espeak-ng, run without a shell, as 8000 Hz mono 16-bit samples.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vsr::cli::demo {

// The spoken text; nothing when espeak-ng is not installed or fails.
std::optional<std::vector<std::int16_t>> Speak(const std::string& text);

struct TWaveSamples {
    std::uint32_t Rate = 0;
    std::vector<std::int16_t> Samples; // the first channel
};

// The samples of a 16-bit PCM WAV file; nothing for another format.
std::optional<TWaveSamples> ParseWave(std::span<const std::byte> file);

// Resamples to rate, each output sample the mean of the input samples it covers.
std::vector<std::int16_t> Resample(const std::vector<std::int16_t>& samples, std::uint32_t fromRate,
                                   std::uint32_t toRate);

} // namespace vsr::cli::demo
