#pragma once
// Drawing into the off-screen picture: the tile blit of the playback loop and the centred
// header or trailer picture. Both take the picture's canvas lock for their whole drawing and
// mark it modified; pixels outside the picture are clipped on every side.

#include "render/Bitmap32.h"
#include "render/Pixels32.h"

#include <cstdint>

namespace vsr {

// Copies source into target with its top-left at (x, y), replacing the pixels (no blending).
// The caller holds target's canvas lock when another thread may use it.
void CopyPixels(TBitmap32& target, const TConstPixels32& source, std::int32_t x, std::int32_t y);

// The tile blit: copies tile into bitmap at (x, y) under the canvas lock, then marks the
// bitmap modified.
void BlitTile(TBitmap32& bitmap, const TConstPixels32& tile, std::int32_t x, std::int32_t y);

// Fills bitmap white and draws picture at its own size, centred (a larger picture is cut on
// all sides), under the canvas lock. An empty picture leaves bitmap as it is.
void DrawCentred(TBitmap32& bitmap, const TConstPixels32& picture);

} // namespace vsr
