#pragma once
// How a decoded floating-point sample becomes a 16-bit sample: clamped to +-32000 (not to
// the full 16-bit range), then rounded half up as floor(x + 0.5).

#include <algorithm>
#include <cmath>

namespace vsr::sndkit {

inline constexpr float MaxDecodedSample = 32000.0f;

inline short RoundDecodedSample(float sample) {
    // A damaged frame may decode to NaN; converting NaN to an integer is undefined.
    if (std::isnan(sample))
        return 0;
    // In double, x + 0.5 is exact for every float, so no value rounds up by accident.
    const double clamped = std::clamp(static_cast<double>(sample), -double{MaxDecodedSample},
                                      double{MaxDecodedSample});
    return static_cast<short>(std::floor(clamped + 0.5));
}

} // namespace vsr::sndkit
