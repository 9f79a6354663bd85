#pragma once
// TTileImage: one decoded tile, Width x Height pixels of 0xFFRRGGBB, rows top-down, packed.
// Reused from tile to tile, its pixel memory keeps its capacity, so decoding a run of tiles
// allocates only when a tile is larger than any before it.

#include "render/Pixels32.h"

#include <cstdint>
#include <vector>

namespace vsr {

struct TTileImage {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::vector<TPixel32> Pixels;

    TConstPixels32 View() const { return {Width, Height, Width, Pixels.data()}; }
    TPixel32 At(std::int32_t x, std::int32_t y) const {
        return Pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(Width) +
                      static_cast<std::size_t>(x)];
    }
};

} // namespace vsr
