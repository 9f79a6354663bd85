#pragma once
// Tile decoding: a frame payload (a 40-byte BITMAPINFOHEADER, then biSizeImage bytes of
// bottom-up pixel rows padded to 4 bytes, 16-bit 5-5-5, 24-bit BGR or 32-bit BGRX) turned
// into a TTileImage, converted once into the 32-bit pixels that are copied with BlitTile.
//
// A payload that cannot be decoded gives no tile and never an error: a header or pixel
// data cut short, a header size other than 40, compression other than uncompressed RGB, a
// bit count other than 16, 24 or 32, a width or height not in 1..MaxTileSide, or a
// biSizeImage smaller than the rows need. Nothing past the payload is ever read.

#include "platform/Stream.h"
#include "recording/TileDib.h"
#include "render/Bitmap32.h"
#include "render/TileImage.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vsr {

inline constexpr std::int32_t MaxTileSide = 32768;
// Without a screen to bound them (TileLimitFor), tiles are bounded by MaxTileSide only.
inline constexpr TTileLimit AnyTile{MaxTileSide, MaxTileSide};

// The header as the decoder accepts it, or none.
std::optional<TBitmapInfoHeader> ValidTileHeader(std::span<const std::byte> payload,
                                                 const TTileLimit& limit = AnyTile);

// Decodes the payload's bytes into tile (its memory reused); false, and tile emptied, when
// the payload cannot be decoded. Bytes after the header's biSizeImage are ignored.
bool DecodeTile(std::span<const std::byte> payload, TTileImage& tile,
                const TTileLimit& limit = AnyTile);

struct TTileSize {
    std::int32_t Width = 0; // 0 when nothing could be decoded
    std::int32_t Height = 0;
};

// The size of the tile the payload holds, or zeros when it cannot be decoded.
TTileSize DecodableSize(std::span<const std::byte> payload, const TTileLimit& limit = AnyTile);

// Decodes the payload straight into bitmap with its top-left at (x, y), clipped on every side,
// under the canvas lock, then marks the bitmap modified: the same pixels as DecodeTile and
// BlitTile give, without the tile buffer. The tile's size, or zeros when the payload cannot be
// decoded (bitmap untouched).
TTileSize DrawTile(std::span<const std::byte> payload, TBitmap32& bitmap, std::int32_t x,
                   std::int32_t y, const TTileLimit& limit = AnyTile);

// Reuses its tile image and, for streams other than memory streams, its read buffer: one
// decoder serves a whole run of tiles. Tiles larger than the limit are not decoded.
class TTileDecoder {
public:
    explicit TTileDecoder(const TTileLimit& limit = AnyTile) : FLimit(limit) {}

    // Reads from the stream's position: the header, then exactly biSizeImage bytes. The tile
    // stays valid until the next call; nullptr when the payload cannot be decoded.
    const TTileImage* TileToBitmap(TStream& payload);
    // The same without copying: decodes straight from the stream's memory.
    const TTileImage* TileToBitmap(TMemoryStream& payload);
    // DrawTile from the memory stream's position, which is left after the payload's pixels.
    TTileSize DrawTile(TMemoryStream& payload, TBitmap32& bitmap, std::int32_t x, std::int32_t y);
    // DecodableSize of the payload from the memory stream's position.
    TTileSize Measure(const TMemoryStream& payload) const;

private:
    TTileLimit FLimit;
    TTileImage FTile;
    std::vector<std::byte> FBuffer;
};

// One-off decoding of a payload from the stream's position.
std::optional<TTileImage> TileToBitmap(TStream& payload);

} // namespace vsr
