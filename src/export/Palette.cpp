#include "export/Palette.h"

#include <algorithm>
#include <limits>

namespace vsr {

namespace {

constexpr std::size_t cColours = 256;

int Channel(std::uint32_t colour, int shift) {
    return static_cast<int>((colour >> shift) & 0xFF);
}

struct TEntry {
    std::uint32_t Colour;
    std::uint64_t Count;
};

struct TBox {
    std::vector<TEntry> Entries;
    std::uint64_t Pixels = 0;

    // The channel (as its shift) with the widest range, and that range.
    std::pair<int, int> Widest() const {
        std::pair<int, int> best{16, -1};
        for (const int shift : {16, 8, 0}) {
            const auto [low, high] = std::ranges::minmax(
                Entries, {}, [shift](const TEntry& entry) { return Channel(entry.Colour, shift); });
            const int range = Channel(high.Colour, shift) - Channel(low.Colour, shift);
            if (range > best.second)
                best = {shift, range};
        }
        return best;
    }
    std::uint32_t Mean() const {
        std::uint64_t sums[3] = {};
        for (const TEntry& entry : Entries)
            for (int i = 0; i < 3; ++i)
                sums[i] +=
                    static_cast<std::uint64_t>(Channel(entry.Colour, 16 - 8 * i)) * entry.Count;
        std::uint32_t colour = 0;
        for (int i = 0; i < 3; ++i)
            colour = colour << 8 | static_cast<std::uint32_t>((sums[i] + Pixels / 2) / Pixels);
        return colour;
    }
};

} // namespace

void TColourCount::Add(const TBitmap32& picture) {
    std::uint32_t last = 0;
    std::uint64_t* count = nullptr;
    for (const TPixel32 pixel : picture.Pixels()) {
        const std::uint32_t colour = pixel & 0xFFFFFFu;
        if (!count || colour != last) { // runs of one colour are the rule on screens
            count = &FCounts[colour];
            last = colour;
        }
        ++*count;
    }
}

std::vector<std::uint32_t> TColourCount::Palette() const {
    std::vector<std::uint32_t> palette;
    if (FCounts.size() <= cColours) {
        for (const auto& [colour, count] : FCounts)
            palette.push_back(colour);
        std::ranges::sort(palette);
        return palette;
    }
    std::vector<TBox> boxes(1);
    for (const auto& [colour, count] : FCounts) {
        boxes[0].Entries.push_back({colour, count});
        boxes[0].Pixels += count;
    }
    while (boxes.size() < cColours) {
        // The box with the most pixels that can still be split.
        auto box = std::ranges::max_element(
            boxes, {}, [](const TBox& b) { return b.Entries.size() > 1 ? b.Pixels : 0; });
        if (box->Entries.size() < 2)
            break;
        const int shift = box->Widest().first;
        std::ranges::sort(box->Entries, {},
                          [shift](const TEntry& entry) { return Channel(entry.Colour, shift); });
        // Split where half the pixels lie, keeping at least one colour on each side.
        std::uint64_t seen = 0;
        std::size_t at = 1;
        for (; at + 1 < box->Entries.size(); ++at) {
            seen += box->Entries[at - 1].Count;
            if (seen * 2 >= box->Pixels)
                break;
        }
        TBox upper;
        upper.Entries.assign(box->Entries.begin() + static_cast<std::ptrdiff_t>(at),
                             box->Entries.end());
        box->Entries.resize(at);
        for (const TEntry& entry : upper.Entries)
            upper.Pixels += entry.Count;
        box->Pixels -= upper.Pixels;
        boxes.push_back(std::move(upper));
    }
    for (const TBox& box : boxes)
        palette.push_back(box.Mean());
    return palette;
}

TPaletteMap::TPaletteMap(std::vector<std::uint32_t> palette) : FPalette(std::move(palette)) {
    FPalette.resize(std::clamp<std::size_t>(FPalette.size(), 1, cColours));
    for (std::size_t i = 0; i < FPalette.size(); ++i) {
        FEntries[i] = 0xFF000000u | FPalette[i];
        FFound.emplace(FPalette[i], static_cast<std::uint8_t>(i));
    }
    for (std::size_t i = FPalette.size(); i < cColours; ++i)
        FEntries[i] = 0xFF000000u;
}

std::uint8_t TPaletteMap::Nearest(std::uint32_t colour) {
    if (const auto found = FFound.find(colour); found != FFound.end())
        return found->second;
    int best = std::numeric_limits<int>::max();
    std::uint8_t index = 0;
    for (std::size_t i = 0; i < FPalette.size(); ++i) {
        int distance = 0;
        for (const int shift : {16, 8, 0}) {
            const int d = Channel(colour, shift) - Channel(FPalette[i], shift);
            distance += d * d;
        }
        if (distance < best) {
            best = distance;
            index = static_cast<std::uint8_t>(i);
        }
    }
    FFound.emplace(colour, index);
    return index;
}

void TPaletteMap::Map(const TBitmap32& picture, const TRect& area, std::uint8_t* indices,
                      int linesize) {
    std::uint32_t last = 0;
    std::uint8_t index = Nearest(last);
    for (std::int32_t y = area.Top; y < area.Bottom; ++y) {
        const TPixel32* row = picture.Bits() + static_cast<std::ptrdiff_t>(y) * picture.Width();
        std::uint8_t* out = indices + static_cast<std::ptrdiff_t>(y) * linesize;
        for (std::int32_t x = area.Left; x < area.Right; ++x) {
            if (const std::uint32_t colour = row[x] & 0xFFFFFFu; colour != last) {
                last = colour;
                index = Nearest(colour);
            }
            out[x] = index;
        }
    }
}

} // namespace vsr
