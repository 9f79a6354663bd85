#include "render/Drawing.h"

#include "render/Geometry.h"

#include <algorithm>
#include <mutex>

namespace vsr {

void CopyPixels(TBitmap32& target, const TConstPixels32& source, std::int32_t x, std::int32_t y) {
    if (source.Empty() || target.Empty())
        return;
    // 64-bit so that a position near the integer limits cannot overflow.
    const std::int64_t left = std::max<std::int64_t>(x, 0);
    const std::int64_t top = std::max<std::int64_t>(y, 0);
    const std::int64_t right =
        std::min<std::int64_t>(std::int64_t{x} + source.Width, target.Width());
    const std::int64_t bottom =
        std::min<std::int64_t>(std::int64_t{y} + source.Height, target.Height());
    if (left >= right || top >= bottom)
        return;
    for (std::int64_t row = top; row < bottom; ++row) {
        const TPixel32* from = source.Row(static_cast<std::int32_t>(row - y)) + (left - x);
        TPixel32* to = target.Row(static_cast<std::int32_t>(row)) + left;
        std::transform(from, from + (right - left), to,
                       [](TPixel32 pixel) { return pixel | OpaqueAlpha; });
    }
}

void BlitTile(TBitmap32& bitmap, const TConstPixels32& tile, std::int32_t x, std::int32_t y) {
    {
        const auto lock = bitmap.CanvasLock();
        CopyPixels(bitmap, tile, x, y);
    }
    bitmap.MarkModified();
}

void DrawCentred(TBitmap32& bitmap, const TConstPixels32& picture) {
    if (picture.Empty())
        return;
    {
        const auto lock = bitmap.CanvasLock();
        bitmap.Fill(White32);
        const TPoint origin =
            CentredOrigin(bitmap.Width(), bitmap.Height(), picture.Width, picture.Height);
        CopyPixels(bitmap, picture, origin.X, origin.Y);
    }
    bitmap.MarkModified();
}

} // namespace vsr
