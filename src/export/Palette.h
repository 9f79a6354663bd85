#pragma once
// The colours of a GIF export: one palette for the whole export, from the colours the
// pictures use (exact when they use 256 or fewer), and pictures mapped onto it.

#include "render/Bitmap32.h"
#include "render/Geometry.h"

#include <array>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

namespace vsr {

// Counts how often each colour (0xRRGGBB) shows.
class TColourCount {
public:
    void Add(const TBitmap32& picture);
    // At most 256 colours: all of them when there are no more, otherwise the means of boxes
    // that split the colour space where it holds the most pixels (median cut).
    std::vector<std::uint32_t> Palette() const;

private:
    std::unordered_map<std::uint32_t, std::uint64_t> FCounts;
};

class TPaletteMap {
public:
    explicit TPaletteMap(std::vector<std::uint32_t> palette);

    // Each pixel's index of the nearest palette colour within area, rows linesize bytes apart.
    void Map(const TBitmap32& picture, const TRect& area, std::uint8_t* indices, int linesize);
    // The 256 entries as the PAL8 format holds them (0xFFRRGGBB; unused ones black).
    std::span<const std::uint32_t> Entries() const { return FEntries; }

private:
    std::uint8_t Nearest(std::uint32_t colour);

    std::vector<std::uint32_t> FPalette;
    std::array<std::uint32_t, 256> FEntries{};
    std::unordered_map<std::uint32_t, std::uint8_t> FFound;
};

} // namespace vsr
