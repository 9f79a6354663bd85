#pragma once
// A TBitmap32's pixels as a QImage, without copying: valid while the bitmap is neither resized
// nor drawn on by another thread (hold its canvas lock where one may).

#include "render/Bitmap32.h"

#include <QImage>

namespace vsr {

inline QImage WrapBitmap(const TBitmap32& bitmap) {
    return QImage(reinterpret_cast<const uchar*>(bitmap.Bits()), bitmap.Width(), bitmap.Height(),
                  bitmap.StrideBytes(), QImage::Format_RGB32);
}

} // namespace vsr
