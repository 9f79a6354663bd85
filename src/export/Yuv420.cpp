#include "export/Yuv420.h"

#include <algorithm>

namespace vsr {

namespace {

struct TRgb {
    int R, G, B;
};

TRgb RgbOf(TPixel32 pixel) {
    return {static_cast<int>(pixel >> 16 & 0xFF), static_cast<int>(pixel >> 8 & 0xFF),
            static_cast<int>(pixel & 0xFF)};
}

std::uint8_t Luma(TRgb c) {
    return static_cast<std::uint8_t>(((66 * c.R + 129 * c.G + 25 * c.B + 128) >> 8) + 16);
}

} // namespace

void ConvertToYuv420(const TBitmap32& picture, TRect area, const TYuvPlanes& planes) {
    area.Left = std::max(0, area.Left & ~1);
    area.Top = std::max(0, area.Top & ~1);
    area.Right = std::min(planes.Width, (area.Right + 1) & ~1);
    area.Bottom = std::min(planes.Height, (area.Bottom + 1) & ~1);
    const std::int32_t lastX = picture.Width() - 1;
    const std::int32_t lastY = picture.Height() - 1;
    for (std::int32_t y = area.Top; y < area.Bottom; y += 2) {
        const TPixel32* rows[2] = {
            picture.Bits() + static_cast<std::ptrdiff_t>(std::min(y, lastY)) * picture.Width(),
            picture.Bits() + static_cast<std::ptrdiff_t>(std::min(y + 1, lastY)) * picture.Width()};
        std::uint8_t* luma[2] = {planes.Data[0] + static_cast<std::ptrdiff_t>(y) * planes.Stride[0],
                                 planes.Data[0] +
                                     static_cast<std::ptrdiff_t>(y + 1) * planes.Stride[0]};
        std::uint8_t* u = planes.Data[1] + static_cast<std::ptrdiff_t>(y / 2) * planes.Stride[1];
        std::uint8_t* v = planes.Data[2] + static_cast<std::ptrdiff_t>(y / 2) * planes.Stride[2];
        for (std::int32_t x = area.Left; x < area.Right; x += 2) {
            const std::int32_t right = std::min(x + 1, lastX); // the padding repeats the edge
            const TRgb c[4] = {RgbOf(rows[0][x]), RgbOf(rows[0][right]), RgbOf(rows[1][x]),
                               RgbOf(rows[1][right])};
            luma[0][x] = Luma(c[0]);
            luma[0][x + 1] = Luma(c[1]);
            luma[1][x] = Luma(c[2]);
            luma[1][x + 1] = Luma(c[3]);
            const int r = (c[0].R + c[1].R + c[2].R + c[3].R + 2) >> 2;
            const int g = (c[0].G + c[1].G + c[2].G + c[3].G + 2) >> 2;
            const int b = (c[0].B + c[1].B + c[2].B + c[3].B + 2) >> 2;
            u[x / 2] = static_cast<std::uint8_t>(((-38 * r - 74 * g + 112 * b + 128) >> 8) + 128);
            v[x / 2] = static_cast<std::uint8_t>(((112 * r - 94 * g - 18 * b + 128) >> 8) + 128);
        }
    }
}

} // namespace vsr
