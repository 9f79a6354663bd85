#include "render/Drawing.h"

#include "render/Geometry.h"

#include <algorithm>
#include <mutex>

namespace vsr {

void CopyPixels(TBitmap32& target, const TConstPixels32& source, std::int32_t x, std::int32_t y) {
    if (source.Empty() || target.Empty())
        return;
    const TRect part =
        VisiblePart(x, y, source.Width, source.Height, target.Width(), target.Height());
    for (std::int32_t row = part.Top; row < part.Bottom; ++row) {
        const TPixel32* from = source.Row(static_cast<std::int32_t>(std::int64_t{row} - y)) +
                               (std::int64_t{part.Left} - x);
        TPixel32* to = target.Row(row) + part.Left;
        std::transform(from, from + part.Width(), to,
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
