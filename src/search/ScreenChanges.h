#pragma once
// Where the screen changed between two samples, and the regions to recognise there: the
// changed parts grown so that words cut by a tile's edge are whole, and merged where they meet.

#include "render/Geometry.h"
#include "render/Pixels32.h"

#include <span>
#include <vector>

namespace vsr {

// How far a change is grown to reach a blank row or column: about two lines of screen text
// up and down, a long word to each side.
inline constexpr std::int32_t cMostLineGrowth = 32;
inline constexpr std::int32_t cMostWordGrowth = 320;

// The smallest rectangle inside area holding every pixel that differs; empty when none does.
TRect DifferingPart(const TConstPixels32& now, const TConstPixels32& before, const TRect& area);

// rect grown (within picture) until each edge lies on a row or column of one colour, so that
// it cuts no letter: whole words, whole lines.
TRect GrowToBlankEdges(const TConstPixels32& picture, const TRect& rect);

// The changed rectangles and the boxes of the words they touch (recognised again whole),
// grown to blank edges and merged until none meet another.
std::vector<TRect> RegionsToRecognise(const TConstPixels32& picture, std::span<const TRect> changed,
                                      std::span<const TRect> touchedWords);

// True when box reaches an edge of region that is not an edge of bounds: a word there may
// be cut.
bool AtCutEdge(const TRect& box, const TRect& region, const TRect& bounds);

bool Meet(const TRect& a, const TRect& b);

} // namespace vsr
