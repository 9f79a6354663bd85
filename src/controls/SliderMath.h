#pragma once
// Integer arithmetic of the slider bars: rounding with halves to even, as the bar's keyboard
// steps and thumb placement need it.

#include <cstdint>

namespace vsr {

// numerator / denominator rounded to the nearest integer, halves to even; denominator > 0.
std::int64_t DivRoundHalfEven(std::int64_t numerator, std::int64_t denominator);

// value rounded to the nearest multiple of step (halves to even), then moved by delta steps,
// clamped into [low, high]; step > 0.
std::int32_t SteppedValue(std::int32_t value, std::int32_t step, int delta, std::int32_t low,
                          std::int32_t high);

} // namespace vsr
