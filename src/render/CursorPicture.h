#pragma once
// The picture of the recorded mouse pointer: 32 x 32 pixels in 16 colours, a white arrow with
// a black outline pointing up and to the left, its tip at column 9, row 3, on a silver
// background. Drawn transparent: the colour of the bottom-left pixel (the silver) is not
// painted. Its top-left corner, not the arrow's tip, goes at the recorded position.
//
// The window paints the same pixels through a QImage of Format_ARGB32 over ArgbPixels().

#include "render/Bitmap32.h"
#include "render/Geometry.h"
#include "render/Pixels32.h"

#include <array>
#include <cstdint>
#include <span>

namespace vsr {

class TCursorPicture {
public:
    static constexpr std::int32_t Width = 32;
    static constexpr std::int32_t Height = 32;
    static constexpr std::int32_t PixelCount = Width * Height;

    // The 16-colour picture as 0xFFRRGGBB, the silver background included.
    std::span<const TPixel32> Pixels() const { return FPixels; }
    // The same with the transparent colour as 0x00000000 (alpha 0), everything else opaque.
    std::span<const TPixel32> ArgbPixels() const { return FArgbPixels; }
    TPixel32 TransparentColour() const { return FPixels[(Height - 1) * Width]; }
    bool Transparent(std::int32_t x, std::int32_t y) const {
        return FPixels[y * Width + x] == TransparentColour();
    }
    TConstPixels32 View() const { return {Width, Height, Width, FPixels.data()}; }

    static const TCursorPicture& Instance();

private:
    TCursorPicture();

    std::array<TPixel32, PixelCount> FPixels{};
    std::array<TPixel32, PixelCount> FArgbPixels{};
};

// Draws the cursor picture stretched into rect (nearest neighbour), leaving its transparent
// pixels out; clipped to target. The caller holds target's canvas lock when it is shared.
void DrawCursorPicture(TBitmap32& target, const TRect& rect);

} // namespace vsr
