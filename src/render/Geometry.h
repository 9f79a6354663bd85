#pragma once
// The arithmetic of painting: where the recorded picture goes in the play panel, where the
// cursor goes on it, the black bars around it, the panel's place at natural size and the
// origin of a centred picture. Pure functions; integer division truncates toward zero.

#include <array>
#include <cstdint>

namespace vsr {

struct TPoint {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    bool operator==(const TPoint&) const = default;
};

struct TRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0; // exclusive
    std::int32_t Bottom = 0;

    std::int32_t Width() const { return Right - Left; }
    std::int32_t Height() const { return Bottom - Top; }
    bool Empty() const { return Right <= Left || Bottom <= Top; }
    bool operator==(const TRect&) const = default;
};

// The part of a panel the picture is stretched into, its aspect kept. The panel counts one
// pixel less each way, so a picture in a panel of its own size fills (w - 1) x (h - 1).
// An empty picture or panel gives an empty rectangle at (0, 0).
TRect FitRect(std::int32_t panelWidth, std::int32_t panelHeight, std::int32_t bitmapWidth,
              std::int32_t bitmapHeight);

// The rectangle the cursor picture is stretched into when the picture is drawn into fit:
// each coordinate multiplied first and divided second. Empty for an empty picture.
TRect CursorRect(std::int32_t cursorX, std::int32_t cursorY, std::int32_t cursorWidth,
                 std::int32_t cursorHeight, const TRect& fit, std::int32_t bitmapWidth,
                 std::int32_t bitmapHeight);

// The part of a width x height area at (x, y) that lies inside (0, 0, boundsWidth,
// boundsHeight); empty when none does. Computed in 64 bits: positions near the integer limits
// do not overflow.
TRect VisiblePart(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t boundsWidth, std::int32_t boundsHeight);

// The smallest rectangle holding both; an empty one adds nothing.
TRect UnionRect(const TRect& a, const TRect& b);
// The part both cover; empty (all zero) when they do not meet.
TRect IntersectRect(const TRect& a, const TRect& b);

// The part of the panel that shows area (in picture coordinates) when the picture is drawn
// into fit: rounded outwards, and one pixel wider each way when the picture is scaled, where
// filtering reaches into the neighbours. Clipped to fit; empty for an empty area or picture.
TRect ShownRect(const TRect& area, const TRect& fit, std::int32_t bitmapWidth,
                std::int32_t bitmapHeight);

// The four rectangles around fit that are painted black: left, top, bottom, right.
std::array<TRect, 4> BlackBars(const TRect& fit, std::int32_t clientWidth,
                               std::int32_t clientHeight);

// Top-left of the play panel at natural size: centred in the client area above the controls
// (controlsHeight 0 when they are hidden), never left of or above 0.
TPoint NaturalPanelPosition(std::int32_t clientWidth, std::int32_t clientHeight,
                            std::int32_t panelWidth, std::int32_t panelHeight,
                            std::int32_t controlsHeight);

// Top-left of a picture centred on a bitmap; negative when the picture is larger.
TPoint CentredOrigin(std::int32_t bitmapWidth, std::int32_t bitmapHeight, std::int32_t pictureWidth,
                     std::int32_t pictureHeight);

// Nearest integer, halves to the even neighbour.
std::int64_t RoundHalfEven(double value);

} // namespace vsr
