#pragma once
// Pictures into 4:2:0 planes (BT.601, limited range, as video players expect of standard
// definition and as the files declare), area by area: a screen recording changes little from
// one picture to the next, so only the changed area is converted again.

#include "render/Bitmap32.h"
#include "render/Geometry.h"

#include <cstdint>

namespace vsr {

struct TYuvPlanes {
    std::uint8_t* Data[3]; // Y, U, V
    int Stride[3];         // bytes a row
    std::int32_t Width;    // of the luma plane: the picture's, or one more where it is odd
    std::int32_t Height;
};

// Converts area (grown to even edges, clipped to the planes) of picture; beyond the picture's
// right and bottom edges its last column and row are repeated. Each chroma sample is the mean
// of its four pixels.
void ConvertToYuv420(const TBitmap32& picture, TRect area, const TYuvPlanes& planes);

} // namespace vsr
