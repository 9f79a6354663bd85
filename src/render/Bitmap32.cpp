#include "render/Bitmap32.h"

#include "shell/Exception.h"
#include "shell/Format.h"

#include <algorithm>

namespace vsr {

void TBitmap32::SetSize(std::int32_t width, std::int32_t height) {
    if (width < 0 || height < 0 || width > MaxSide || height > MaxSide)
        throw Exception(Format("Invalid picture size %d x %d", width, height));
    if (width == 0 || height == 0) {
        FPixels.clear();
        FPixels.shrink_to_fit();
        FWidth = width;
        FHeight = height;
        MarkModified();
        return;
    }
    std::vector<TPixel32> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height),
                                 Black32);
    const std::int32_t keepWidth = std::min(width, FWidth);
    const std::int32_t keepHeight = std::min(height, FHeight);
    for (std::int32_t y = 0; y < keepHeight; ++y)
        std::copy_n(Row(y), keepWidth, pixels.data() + static_cast<std::size_t>(y) * width);
    FPixels = std::move(pixels);
    FWidth = width;
    FHeight = height;
    MarkModified();
}

void TBitmap32::Fill(TPixel32 colour) {
    std::fill(FPixels.begin(), FPixels.end(), colour);
    MarkModified();
}

// Growing from width 0 makes every pixel black: one pass over the memory, not a second fill.
void PrepareBitmap(TBitmap32& bitmap, std::int32_t width, std::int32_t height) {
    bitmap.SetSize(0, bitmap.Height());
    bitmap.SetSize(width, height);
}

} // namespace vsr
