#pragma once
// Tile payloads of frame records: a packed device-independent bitmap without colour table,
// a 40-byte BITMAPINFOHEADER followed by bottom-up pixel rows padded to 4 bytes.

#include "recording/ScreenPicture.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsr {

// 16 bits per pixel is 5-5-5 with the top bit 0; 32 bits keeps the top byte 0.
enum class TTileBitDepth : std::uint16_t { Bits16 = 16, Bits24 = 24, Bits32 = 32 };

struct TBitmapInfoHeader {
    std::uint32_t biSize;
    std::int32_t biWidth;
    std::int32_t biHeight; // positive: rows stored bottom-up
    std::uint16_t biPlanes;
    std::uint16_t biBitCount;
    std::uint32_t biCompression; // 0: uncompressed RGB
    std::uint32_t biSizeImage;
    std::int32_t biXPelsPerMeter;
    std::int32_t biYPelsPerMeter;
    std::uint32_t biClrUsed;
    std::uint32_t biClrImportant;
};
static_assert(sizeof(TBitmapInfoHeader) == 40);

struct TTileRect {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};

// Bytes of one stored pixel row, padded to a multiple of 4.
std::int64_t DibRowBytes(std::int32_t width, TTileBitDepth depth);

// The largest tile a screen can hold. Tiles lie on a grid and may overhang the right and
// bottom edges, but none is larger than the screen rounded up to 256 pixels each way: a larger
// one is damage, and decoding it would take memory by a size the data does not back.
struct TTileLimit {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
};
TTileLimit TileLimitFor(std::int32_t screenWidth, std::int32_t screenHeight);
// The most bytes the payload of such a tile can use: its header and rows of 32-bit pixels.
std::int64_t MaxTilePayloadBytes(const TTileLimit& limit);

// The payload for the part of picture inside tile (which must lie within the picture).
std::vector<std::byte> EncodeTileDib(const TScreenPicture& picture, const TTileRect& tile,
                                     TTileBitDepth depth);

} // namespace vsr
