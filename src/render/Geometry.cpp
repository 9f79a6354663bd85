#include "render/Geometry.h"

#include <algorithm>
#include <cmath>

namespace vsr {

std::int64_t RoundHalfEven(double value) {
    const double floor = std::floor(value);
    const double fraction = value - floor;
    auto result = static_cast<std::int64_t>(floor);
    if (fraction > 0.5 || (fraction == 0.5 && result % 2 != 0))
        ++result;
    return result;
}

TRect FitRect(std::int32_t panelWidth, std::int32_t panelHeight, std::int32_t bitmapWidth,
              std::int32_t bitmapHeight) {
    // Without these guards the aspects below become infinite or NaN and the conversion to
    // an integer is undefined.
    if (panelWidth < 1 || panelHeight < 1 || bitmapWidth < 1 || bitmapHeight < 1)
        return {};
    const std::int32_t pw = panelWidth - 1;
    const std::int32_t ph = panelHeight - 1;
    const double panelAspect = static_cast<double>(pw) / ph;
    const double pictureAspect = static_cast<double>(bitmapWidth) / bitmapHeight;
    std::int32_t w = pw;
    std::int32_t h = ph;
    if (panelAspect > pictureAspect)
        w = static_cast<std::int32_t>(RoundHalfEven(ph * pictureAspect));
    else
        h = static_cast<std::int32_t>(RoundHalfEven(pw / pictureAspect));
    const std::int32_t left = (pw - w) / 2;
    const std::int32_t top = (ph - h) / 2;
    return {left, top, left + w, top + h};
}

TRect CursorRect(std::int32_t cursorX, std::int32_t cursorY, std::int32_t cursorWidth,
                 std::int32_t cursorHeight, const TRect& fit, std::int32_t bitmapWidth,
                 std::int32_t bitmapHeight) {
    if (bitmapWidth < 1 || bitmapHeight < 1)
        return {};
    const std::int64_t fitWidth = fit.Width();
    const std::int64_t fitHeight = fit.Height();
    const auto scaleX = [&](std::int64_t x) {
        return static_cast<std::int32_t>(x * fitWidth / bitmapWidth + fit.Left);
    };
    const auto scaleY = [&](std::int64_t y) {
        return static_cast<std::int32_t>(y * fitHeight / bitmapHeight + fit.Top);
    };
    return {scaleX(cursorX), scaleY(cursorY), scaleX(std::int64_t{cursorX} + cursorWidth),
            scaleY(std::int64_t{cursorY} + cursorHeight)};
}

TRect VisiblePart(std::int32_t x, std::int32_t y, std::int32_t width, std::int32_t height,
                  std::int32_t boundsWidth, std::int32_t boundsHeight) {
    const auto clip = [](std::int64_t value, std::int32_t size) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 0, size));
    };
    const TRect part{clip(x, boundsWidth), clip(y, boundsHeight),
                     clip(std::int64_t{x} + width, boundsWidth),
                     clip(std::int64_t{y} + height, boundsHeight)};
    return part.Empty() ? TRect{} : part;
}

TRect UnionRect(const TRect& a, const TRect& b) {
    if (a.Empty())
        return b;
    if (b.Empty())
        return a;
    return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
            std::max(a.Bottom, b.Bottom)};
}

TRect IntersectRect(const TRect& a, const TRect& b) {
    const TRect both{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
                     std::min(a.Bottom, b.Bottom)};
    return both.Empty() ? TRect{} : both;
}

TRect ShownRect(const TRect& area, const TRect& fit, std::int32_t bitmapWidth,
                std::int32_t bitmapHeight) {
    if (area.Empty() || fit.Empty() || bitmapWidth < 1 || bitmapHeight < 1)
        return {};
    const bool scaled = fit.Width() != bitmapWidth || fit.Height() != bitmapHeight;
    const std::int64_t margin = scaled ? 1 : 0;
    // Floor for the start, ceiling for the end: every panel pixel touching the area is in.
    const auto map = [](std::int64_t value, std::int64_t fitSize, std::int64_t size, bool roundUp) {
        const std::int64_t product = value * fitSize;
        return roundUp ? (product + size - 1) / size : product / size;
    };
    const auto clampTo = [](std::int64_t value, std::int32_t low, std::int32_t high) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, low, high));
    };
    const std::int64_t left = map(std::max(area.Left, 0), fit.Width(), bitmapWidth, false);
    const std::int64_t top = map(std::max(area.Top, 0), fit.Height(), bitmapHeight, false);
    const std::int64_t right =
        map(std::min(area.Right, bitmapWidth), fit.Width(), bitmapWidth, true);
    const std::int64_t bottom =
        map(std::min(area.Bottom, bitmapHeight), fit.Height(), bitmapHeight, true);
    const TRect shown{clampTo(fit.Left + left - margin, fit.Left, fit.Right),
                      clampTo(fit.Top + top - margin, fit.Top, fit.Bottom),
                      clampTo(fit.Left + right + margin, fit.Left, fit.Right),
                      clampTo(fit.Top + bottom + margin, fit.Top, fit.Bottom)};
    return shown.Empty() ? TRect{} : shown;
}

std::array<TRect, 4> BlackBars(const TRect& fit, std::int32_t clientWidth,
                               std::int32_t clientHeight) {
    return {TRect{0, 0, fit.Left, clientHeight}, TRect{fit.Left, 0, fit.Right, fit.Top},
            TRect{fit.Left, fit.Bottom, fit.Right, clientHeight},
            TRect{fit.Right, 0, clientWidth, clientHeight}};
}

TPoint NaturalPanelPosition(std::int32_t clientWidth, std::int32_t clientHeight,
                            std::int32_t panelWidth, std::int32_t panelHeight,
                            std::int32_t controlsHeight) {
    return {std::max(0, (clientWidth - panelWidth) / 2),
            std::max(0, (clientHeight - panelHeight - controlsHeight) / 2)};
}

TPoint CentredOrigin(std::int32_t bitmapWidth, std::int32_t bitmapHeight, std::int32_t pictureWidth,
                     std::int32_t pictureHeight) {
    return {(bitmapWidth - pictureWidth) / 2, (bitmapHeight - pictureHeight) / 2};
}

} // namespace vsr
