#include "controls/SliderMath.h"

#include <algorithm>

namespace vsr {

std::int64_t DivRoundHalfEven(std::int64_t numerator, std::int64_t denominator) {
    // Floor division first, so that negative values round the same way as positive ones.
    std::int64_t quotient = numerator / denominator;
    std::int64_t remainder = numerator % denominator;
    if (remainder < 0) {
        --quotient;
        remainder += denominator;
    }
    const std::int64_t twice = 2 * remainder;
    if (twice > denominator || (twice == denominator && quotient % 2 != 0))
        ++quotient;
    return quotient;
}

std::int32_t SteppedValue(std::int32_t value, std::int32_t step, int delta, std::int32_t low,
                          std::int32_t high) {
    const std::int64_t rounded = DivRoundHalfEven(value, step) * step;
    const std::int64_t moved = rounded + static_cast<std::int64_t>(delta) * step;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(moved, low, high));
}

} // namespace vsr
