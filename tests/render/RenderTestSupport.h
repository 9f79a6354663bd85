#pragma once
// Helpers of the render tests: the picture a screen shows for a recorded picture, and
// comparisons of 32-bit pictures with the pictures the writer recorded.

#include "recording/ScreenPicture.h"
#include "render/Pixels32.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace vsr::test {

// Each channel cut to 5 bits and widened back by repeating its top bits, as a screen shows a
// 5-5-5 pixel.
TScreenPicture Expanded555(const TScreenPicture& picture);

// Same size and, pixel for pixel, the same colour (0xRRGGBB) with an opaque top byte.
::testing::AssertionResult SamePicture(const TConstPixels32& actual,
                                       const TScreenPicture& expected);

} // namespace vsr::test
