#pragma once
// 32-bit pixels as the render code keeps them: 0xFFRRGGBB in a std::uint32_t, rows top-down.
// On a little-endian host the bytes are B, G, R, 0xFF, which is what QImage::Format_RGB32
// (and Format_ARGB32) expect, so a window can wrap the pixels without copying them.

#include <cstddef>
#include <cstdint>
#include <span>

namespace vsr {

using TPixel32 = std::uint32_t;

inline constexpr TPixel32 OpaqueAlpha = 0xFF000000u;
inline constexpr TPixel32 Black32 = 0xFF000000u;
inline constexpr TPixel32 White32 = 0xFFFFFFFFu;

// The pixel for a 0x00RRGGBB colour.
constexpr TPixel32 Opaque(std::uint32_t rgb) {
    return OpaqueAlpha | (rgb & 0x00FFFFFFu);
}

// A read-only view of any 32-bit picture: Width x Height pixels, rows StridePixels apart.
struct TConstPixels32 {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::int64_t StridePixels = 0;
    const TPixel32* Bits = nullptr;

    bool Empty() const { return Width <= 0 || Height <= 0 || Bits == nullptr; }
    const TPixel32* Row(std::int32_t y) const { return Bits + y * StridePixels; }
    TPixel32 At(std::int32_t x, std::int32_t y) const { return Row(y)[x]; }
};

// A view of tightly packed rows (stride = width) held in a span.
inline TConstPixels32 PackedPixels(std::int32_t width, std::int32_t height,
                                   std::span<const TPixel32> pixels) {
    return {width, height, width, pixels.data()};
}

} // namespace vsr
