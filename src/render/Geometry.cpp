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
