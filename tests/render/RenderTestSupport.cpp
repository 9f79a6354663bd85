#include "render/RenderTestSupport.h"

#include "shell/Format.h"

namespace vsr::test {

TScreenPicture Expanded555(const TScreenPicture& picture) {
    TScreenPicture result = picture;
    for (std::uint32_t& pixel : result.Pixels) {
        std::uint32_t widened = 0;
        for (int shift : {16, 8, 0}) {
            const std::uint32_t top5 = (pixel >> (shift + 3)) & 0x1F;
            widened |= ((top5 << 3) | (top5 >> 2)) << shift;
        }
        pixel = widened;
    }
    return result;
}

::testing::AssertionResult SamePicture(const TConstPixels32& actual,
                                       const TScreenPicture& expected) {
    if (actual.Width != expected.Width || actual.Height != expected.Height)
        return ::testing::AssertionFailure()
               << Format("size %d x %d, expected %d x %d", actual.Width, actual.Height,
                         expected.Width, expected.Height);
    for (std::int32_t y = 0; y < expected.Height; ++y)
        for (std::int32_t x = 0; x < expected.Width; ++x)
            if (actual.At(x, y) != (0xFF000000u | expected.At(x, y)))
                return ::testing::AssertionFailure()
                       << Format("pixel (%d, %d) is %x, expected %x", x, y, actual.At(x, y),
                                 0xFF000000u | expected.At(x, y));
    return ::testing::AssertionSuccess();
}

} // namespace vsr::test
