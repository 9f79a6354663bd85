#include "recording/TileDib.h"

#include <algorithm>
#include <cstring>

namespace vsr {

namespace {

void PutPixel(std::byte* target, std::uint32_t rgb, TTileBitDepth depth) {
    const auto red = static_cast<std::uint8_t>(rgb >> 16);
    const auto green = static_cast<std::uint8_t>(rgb >> 8);
    const auto blue = static_cast<std::uint8_t>(rgb);
    if (depth == TTileBitDepth::Bits16) {
        const auto value =
            static_cast<std::uint16_t>(((red >> 3) << 10) | ((green >> 3) << 5) | (blue >> 3));
        std::memcpy(target, &value, sizeof(value));
        return;
    }
    target[0] = std::byte{blue};
    target[1] = std::byte{green};
    target[2] = std::byte{red};
    if (depth == TTileBitDepth::Bits32)
        target[3] = std::byte{0};
}

TBitmapInfoHeader InfoHeader(const TTileRect& tile, TTileBitDepth depth) {
    TBitmapInfoHeader info{};
    info.biSize = sizeof(TBitmapInfoHeader);
    info.biWidth = tile.Width;
    info.biHeight = tile.Height;
    info.biPlanes = 1;
    info.biBitCount = static_cast<std::uint16_t>(depth);
    info.biSizeImage = static_cast<std::uint32_t>(DibRowBytes(tile.Width, depth) * tile.Height);
    return info;
}

} // namespace

std::int64_t DibRowBytes(std::int32_t width, TTileBitDepth depth) {
    const std::int64_t bits = std::int64_t{width} * static_cast<std::int64_t>(depth);
    return (bits + 31) / 32 * 4;
}

TTileLimit TileLimitFor(std::int32_t screenWidth, std::int32_t screenHeight) {
    const auto roundUp = [](std::int32_t side) {
        return static_cast<std::int32_t>((std::int64_t{std::max(side, 1)} + 255) / 256 * 256);
    };
    return {roundUp(screenWidth), roundUp(screenHeight)};
}

std::int64_t MaxTilePayloadBytes(const TTileLimit& limit) {
    return std::int64_t{sizeof(TBitmapInfoHeader)} +
           DibRowBytes(limit.Width, TTileBitDepth::Bits32) * limit.Height;
}

std::vector<std::byte> EncodeTileDib(const TScreenPicture& picture, const TTileRect& tile,
                                     TTileBitDepth depth) {
    const TBitmapInfoHeader info = InfoHeader(tile, depth);
    std::vector<std::byte> payload(sizeof(info) + info.biSizeImage);
    std::memcpy(payload.data(), &info, sizeof(info));
    const std::int64_t rowBytes = DibRowBytes(tile.Width, depth);
    const std::int32_t pixelBytes = info.biBitCount / 8;
    for (std::int32_t row = 0; row < tile.Height; ++row) {
        // Stored bottom-up: the first stored row is the tile's last row.
        std::byte* target = payload.data() + sizeof(info) + (tile.Height - 1 - row) * rowBytes;
        for (std::int32_t column = 0; column < tile.Width; ++column)
            PutPixel(target + column * pixelBytes, picture.At(tile.X + column, tile.Y + row),
                     depth);
    }
    return payload;
}

} // namespace vsr
