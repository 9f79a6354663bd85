#pragma once
// Voice tracks made in the tests: PCM signals at 8000 Hz and the SPX streams the project's writer
// encodes of them.

#include "audio/SpxWriter.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <numbers>
#include <vector>

namespace vsr::test {

inline std::vector<std::int16_t> Tone(std::uint32_t lengthMs, double hz = 440) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(lengthMs) * 8);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const double t = static_cast<double>(i) / 8000;
        samples[i] =
            static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * std::numbers::pi * hz * t)));
    }
    return samples;
}

inline std::vector<std::int16_t> Silence(std::uint32_t lengthMs) {
    return std::vector<std::int16_t>(static_cast<std::size_t>(lengthMs) * 8);
}

inline std::vector<std::int16_t> Joined(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

// An SPX stream of samples, quickly encoded (quality 4, complexity 1), silences left out.
inline std::vector<std::byte> VoiceTrack(const std::vector<std::int16_t>& samples) {
    return TSpxWriter::Encode(samples, {4, 1});
}

} // namespace vsr::test
