#include "render/TileDecoder.h"
#include "support/Recordings.h"
#include "recording/TileDib.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace vsr {
namespace {

std::vector<std::byte> Encode(const TScreenPicture& picture, TTileBitDepth depth) {
    return EncodeTileDib(picture, {0, 0, picture.Width, picture.Height}, depth);
}

std::unique_ptr<TMemoryStream> StreamOf(std::span<const std::byte> bytes, std::size_t skip = 0) {
    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteBuffer(test::Bytes(skip, 0xEE));
    stream->WriteBuffer(bytes);
    stream->SetPosition(static_cast<std::int64_t>(skip));
    return stream;
}

TBitmapInfoHeader HeaderOf(std::span<const std::byte> payload) {
    TBitmapInfoHeader info{};
    std::memcpy(&info, payload.data(), sizeof info);
    return info;
}

// Decodes through both entry points: from the memory and through the plain stream interface.
// Both start at the stream's position and leave the stream just past the pixels they used.
std::optional<TTileImage> DecodeBothWays(std::span<const std::byte> payload) {
    const auto memory = StreamOf(payload, 9);
    TTileDecoder decoder;
    const TTileImage* fromMemory = decoder.TileToBitmap(*memory);
    const auto plain = StreamOf(payload, 9);
    const std::optional<TTileImage> fromStream = TileToBitmap(static_cast<TStream&>(*plain));
    EXPECT_EQ(fromMemory != nullptr, fromStream.has_value());
    if (fromMemory && fromStream) {
        EXPECT_EQ(fromMemory->Pixels, fromStream->Pixels);
        const std::int64_t used = 9 + 40 + HeaderOf(payload).biSizeImage;
        EXPECT_EQ(memory->Position(), used);
        EXPECT_EQ(plain->Position(), used);
    }
    return fromStream;
}

// Widths 1 to 3 and 13 give every row padding of the three depths.
TEST(TileDecoder, EveryDepthAndRowPaddingKeepsEveryPixelBottomRowFirst) {
    for (const std::int32_t width : {1, 2, 3, 13, 256}) {
        const TScreenPicture picture = test::PatternPicture(width, 7, 3);
        for (const TTileBitDepth depth :
             {TTileBitDepth::Bits16, TTileBitDepth::Bits24, TTileBitDepth::Bits32}) {
            const std::optional<TTileImage> tile = DecodeBothWays(Encode(picture, depth));
            ASSERT_TRUE(tile) << width << " at " << static_cast<int>(depth);
            EXPECT_TRUE(test::SamePicture(tile->View(), depth == TTileBitDepth::Bits16
                                                            ? test::Expanded555(picture)
                                                            : picture))
                << width << " at " << static_cast<int>(depth);
        }
    }
    // The first stored pixel is the bottom-left one.
    TScreenPicture picture(2, 3, 0x000000);
    picture.At(0, 0) = 0x112233;
    picture.At(1, 2) = 0x445566;
    const auto payload = Encode(picture, TTileBitDepth::Bits32);
    EXPECT_EQ(std::to_integer<int>(payload[40]), 0);
    EXPECT_EQ(std::to_integer<int>(payload[40 + 2 * 4 * 2]), 0x33);
}

TEST(TileDecoder, FiveBitChannelsBecomeFullRangeBytes) {
    TScreenPicture picture(4, 1);
    picture.Pixels = {0xFFFFFF, 0x000000, 0x848484, 0x08F810};
    const std::optional<TTileImage> tile = DecodeBothWays(Encode(picture, TTileBitDepth::Bits16));
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->Pixels,
              (std::vector<TPixel32>{0xFFFFFFFF, 0xFF000000, 0xFF848484, 0xFF08FF10}));
}

TEST(TileDecoder, ExtraBytesAfterTheImageOrInTheImageSizeAreAccepted) {
    const TScreenPicture picture = test::PatternPicture(3, 2, 4);
    std::vector<std::byte> payload = Encode(picture, TTileBitDepth::Bits24);
    payload.resize(payload.size() + 17, std::byte{0x5A});
    std::optional<TTileImage> tile = DecodeBothWays(payload);
    ASSERT_TRUE(tile);
    EXPECT_TRUE(test::SamePicture(tile->View(), picture));

    payload = Encode(picture, TTileBitDepth::Bits16);
    TBitmapInfoHeader info = HeaderOf(payload);
    info.biSizeImage += 8;
    std::memcpy(payload.data(), &info, sizeof info);
    payload.resize(payload.size() + 8);
    tile = DecodeBothWays(payload);
    ASSERT_TRUE(tile);
    EXPECT_TRUE(test::SamePicture(tile->View(), test::Expanded555(picture)));
}

TEST(TileDecoder, ShortPayloadsAndMalformedHeadersGiveNoTile) {
    // 13 pixels at 24 bits: 39 bytes padded to 40 a row; a width of 15 needs 48.
    const std::vector<std::byte> good =
        Encode(test::PatternPicture(13, 4, 2), TTileBitDepth::Bits24);
    for (std::size_t size : {std::size_t{0}, std::size_t{39}, std::size_t{40}, good.size() - 1})
        EXPECT_FALSE(DecodeBothWays(std::span(good).first(size))) << size;

    using TDamage = void (*)(TBitmapInfoHeader&);
    const std::pair<const char*, TDamage> damages[] = {
        {"header size 108", [](TBitmapInfoHeader& h) { h.biSize = 108; }},
        {"width -13", [](TBitmapInfoHeader& h) { h.biWidth = -13; }},
        {"height -4", [](TBitmapInfoHeader& h) { h.biHeight = -4; }},
        {"width 1 << 30", [](TBitmapInfoHeader& h) { h.biWidth = 1 << 30; }},
        {"height 0x7FFFFFFF", [](TBitmapInfoHeader& h) { h.biHeight = 0x7FFFFFFF; }},
        {"8 bits", [](TBitmapInfoHeader& h) { h.biBitCount = 8; }},
        {"bit fields", [](TBitmapInfoHeader& h) { h.biCompression = 3; }},
        {"image size one short", [](TBitmapInfoHeader& h) { h.biSizeImage -= 1; }},
        {"image size huge", [](TBitmapInfoHeader& h) { h.biSizeImage = 0xFFFFFFFF; }},
        {"taller than the image", [](TBitmapInfoHeader& h) { h.biHeight += 1; }},
        {"wider than the padding", [](TBitmapInfoHeader& h) { h.biWidth = 15; }},
    };
    for (const auto& [name, damage] : damages) {
        std::vector<std::byte> payload = good;
        TBitmapInfoHeader info = HeaderOf(payload);
        damage(info);
        std::memcpy(payload.data(), &info, sizeof info);
        EXPECT_FALSE(DecodeBothWays(payload)) << name;
    }
}

TEST(TileDecoder, ReusedDecoderForgetsTheLargerTile) {
    TTileDecoder decoder;
    const TScreenPicture small = test::PatternPicture(5, 3, 2);
    const auto first = StreamOf(Encode(test::PatternPicture(64, 32, 1), TTileBitDepth::Bits32));
    ASSERT_NE(decoder.TileToBitmap(*first), nullptr);
    const auto smallPayload = Encode(small, TTileBitDepth::Bits32);
    const auto second = StreamOf(smallPayload);
    const TTileImage* tile = decoder.TileToBitmap(*second);
    ASSERT_NE(tile, nullptr);
    EXPECT_TRUE(test::SamePicture(tile->View(), small));
    EXPECT_EQ(tile->Pixels.size(), 15u);
    EXPECT_GE(tile->Pixels.capacity(), 64u * 32u); // memory kept for the next large tile
    EXPECT_EQ(decoder.TileToBitmap(*StreamOf(std::span(smallPayload).first(41))), nullptr);
}

} // namespace
} // namespace vsr
