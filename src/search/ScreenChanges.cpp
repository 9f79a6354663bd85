#include "search/ScreenChanges.h"

#include <algorithm>
#include <cstring>

namespace vsr {

bool Meet(const TRect& a, const TRect& b) {
    return !IntersectRect(a, b).Empty();
}

TRect DifferingPart(const TConstPixels32& now, const TConstPixels32& before, const TRect& area) {
    TRect found;
    for (std::int32_t y = area.Top; y < area.Bottom; ++y) {
        const TPixel32* a = now.Row(y);
        const TPixel32* b = before.Row(y);
        const std::size_t bytes = static_cast<std::size_t>(area.Width()) * sizeof(TPixel32);
        if (std::memcmp(a + area.Left, b + area.Left, bytes) == 0)
            continue;
        std::int32_t left = area.Left;
        while (a[left] == b[left])
            ++left;
        std::int32_t right = area.Right;
        while (a[right - 1] == b[right - 1])
            --right;
        found = UnionRect(found, {left, y, right, y + 1});
    }
    return found;
}

namespace {

bool BlankRow(const TConstPixels32& picture, std::int32_t y, std::int32_t left,
              std::int32_t right) {
    const TPixel32* row = picture.Row(y);
    return std::all_of(row + left, row + right, [&](TPixel32 p) { return p == row[left]; });
}

bool BlankColumn(const TConstPixels32& picture, std::int32_t x, std::int32_t top,
                 std::int32_t bottom) {
    const TPixel32 first = picture.At(x, top);
    for (std::int32_t y = top + 1; y < bottom; ++y)
        if (picture.At(x, y) != first)
            return false;
    return true;
}

} // namespace

TRect GrowToBlankEdges(const TConstPixels32& picture, const TRect& rect) {
    TRect grown = IntersectRect(rect, {0, 0, picture.Width, picture.Height});
    if (grown.Empty())
        return grown;
    // Rows first, so that the columns are judged over whole lines; then rows again over the
    // wider part.
    for (int pass = 0; pass < 2; ++pass) {
        for (std::int32_t n = 0; n < cMostLineGrowth && grown.Top > 0 &&
                                 !BlankRow(picture, grown.Top - 1, grown.Left, grown.Right);
             ++n)
            --grown.Top;
        for (std::int32_t n = 0; n < cMostLineGrowth && grown.Bottom < picture.Height &&
                                 !BlankRow(picture, grown.Bottom, grown.Left, grown.Right);
             ++n)
            ++grown.Bottom;
        if (pass == 1)
            break;
        for (std::int32_t n = 0; n < cMostWordGrowth && grown.Left > 0 &&
                                 !BlankColumn(picture, grown.Left - 1, grown.Top, grown.Bottom);
             ++n)
            --grown.Left;
        for (std::int32_t n = 0; n < cMostWordGrowth && grown.Right < picture.Width &&
                                 !BlankColumn(picture, grown.Right, grown.Top, grown.Bottom);
             ++n)
            ++grown.Right;
    }
    // A blank line of margin reads better than letters touching the edge.
    return IntersectRect({grown.Left - 2, grown.Top - 2, grown.Right + 2, grown.Bottom + 2},
                         {0, 0, picture.Width, picture.Height});
}

std::vector<TRect> RegionsToRecognise(const TConstPixels32& picture, std::span<const TRect> changed,
                                      std::span<const TRect> touchedWords) {
    std::vector<TRect> regions;
    for (const TRect& rect : changed)
        regions.push_back(GrowToBlankEdges(picture, rect));
    for (const TRect& box : touchedWords)
        regions.push_back(GrowToBlankEdges(picture, box));
    std::erase_if(regions, [](const TRect& r) { return r.Empty(); });
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i < regions.size() && !merged; ++i)
            for (std::size_t j = i + 1; j < regions.size() && !merged; ++j)
                if (Meet(regions[i], regions[j])) {
                    regions[i] = GrowToBlankEdges(picture, UnionRect(regions[i], regions[j]));
                    regions.erase(regions.begin() + static_cast<std::ptrdiff_t>(j));
                    merged = true;
                }
    }
    std::ranges::sort(regions, [](const TRect& a, const TRect& b) {
        return std::pair(a.Top, a.Left) < std::pair(b.Top, b.Left);
    });
    return regions;
}

bool AtCutEdge(const TRect& box, const TRect& region, const TRect& bounds) {
    return (box.Left <= region.Left && region.Left > bounds.Left) ||
           (box.Top <= region.Top && region.Top > bounds.Top) ||
           (box.Right >= region.Right && region.Right < bounds.Right) ||
           (box.Bottom >= region.Bottom && region.Bottom < bounds.Bottom);
}

} // namespace vsr
