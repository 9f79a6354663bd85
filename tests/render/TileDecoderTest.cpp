#include "render/TileDecoder.h"
#include "recording/RecordingTestSupport.h"
#include "recording/TileDib.h"
#include "render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

namespace vsr {
namespace {

std::vector<std::byte> Encode(const TScreenPicture& picture, TTileBitDepth depth) {
    return EncodeTileDib(picture, {0, 0, picture.Width, picture.Height}, depth);
}

std::unique_ptr<TMemoryStream> StreamOf(std::span<const std::byte> bytes) {
    auto stream = std::make_unique<TMemoryStream>();
    stream->WriteBuffer(bytes);
    stream->SetPosition(0);
    return stream;
}

TBitmapInfoHeader HeaderOf(const std::vector<std::byte>& payload) {
    TBitmapInfoHeader info{};
    std::memcpy(&info, payload.data(), sizeof info);
    return info;
}

void SetHeader(std::vector<std::byte>& payload, const TBitmapInfoHeader& info) {
    std::memcpy(payload.data(), &info, sizeof info);
}

// Decodes through both entry points: from the memory and through the plain stream interface.
std::optional<TTileImage> DecodeBothWays(std::span<const std::byte> payload) {
    const auto memory = StreamOf(payload);
    TTileDecoder decoder;
    const TTileImage* fromMemory = decoder.TileToBitmap(*memory);
    const auto plain = StreamOf(payload);
    const std::optional<TTileImage> fromStream = TileToBitmap(static_cast<TStream&>(*plain));
    EXPECT_EQ(fromMemory != nullptr, fromStream.has_value());
    if (fromMemory && fromStream) {
        EXPECT_EQ(fromMemory->Pixels, fromStream->Pixels);
        // Both leave the stream just past the pixels they used.
        const std::int64_t used = sizeof(TBitmapInfoHeader) +
                                  HeaderOf({payload.begin(), payload.begin() + 40}).biSizeImage;
        EXPECT_EQ(memory->Position(), used);
        EXPECT_EQ(plain->Position(), used);
    }
    return fromStream;
}

class TileDecoding : public ::testing::TestWithParam<std::int32_t> {};

// Widths 1 to 4 and 13 give every row padding of the three depths.
INSTANTIATE_TEST_SUITE_P(Widths, TileDecoding, ::testing::Values(1, 2, 3, 4, 13, 256));

TEST_P(TileDecoding, TrueColourDepthsKeepEveryPixel) {
    const TScreenPicture picture = test::PatternPicture(GetParam(), 7, 3);
    for (TTileBitDepth depth : {TTileBitDepth::Bits24, TTileBitDepth::Bits32}) {
        const std::optional<TTileImage> tile = DecodeBothWays(Encode(picture, depth));
        ASSERT_TRUE(tile) << static_cast<int>(depth);
        EXPECT_TRUE(test::SamePicture(tile->View(), picture)) << static_cast<int>(depth);
    }
}

TEST_P(TileDecoding, FiveFiveFiveWidensEachChannel) {
    const TScreenPicture picture = test::PatternPicture(GetParam(), 5, 9);
    const std::optional<TTileImage> tile = DecodeBothWays(Encode(picture, TTileBitDepth::Bits16));
    ASSERT_TRUE(tile);
    EXPECT_TRUE(test::SamePicture(tile->View(), test::Expanded555(picture)));
}

TEST(TileDecoder, FiveBitChannelsBecomeFullRangeBytes) {
    TScreenPicture picture(4, 1);
    picture.Pixels = {0xFFFFFF, 0x000000, 0x848484, 0x08F810};
    const std::optional<TTileImage> tile = DecodeBothWays(Encode(picture, TTileBitDepth::Bits16));
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->Pixels,
              (std::vector<TPixel32>{0xFFFFFFFF, 0xFF000000, 0xFF848484, 0xFF08FF10}));
}

TEST(TileDecoder, FirstStoredRowIsTheBottomRow) {
    TScreenPicture picture(2, 3, 0x000000);
    picture.At(0, 0) = 0x112233;
    picture.At(1, 2) = 0x445566;
    std::vector<std::byte> payload = Encode(picture, TTileBitDepth::Bits32);
    // The first stored pixel is the bottom-left one.
    EXPECT_EQ(std::to_integer<int>(payload[40]), 0);
    const std::optional<TTileImage> tile = DecodeBothWays(payload);
    ASSERT_TRUE(tile);
    EXPECT_EQ(tile->At(0, 0), 0xFF112233u);
    EXPECT_EQ(tile->At(1, 2), 0xFF445566u);
}

TEST(TileDecoder, ShortPayloadsGiveNoTile) {
    const std::vector<std::byte> payload =
        Encode(test::PatternPicture(13, 4, 1), TTileBitDepth::Bits24);
    for (std::size_t size : {std::size_t{0}, std::size_t{39}, std::size_t{40}, payload.size() - 1})
        EXPECT_FALSE(DecodeBothWays(std::span(payload).first(size))) << size;
}

TEST(TileDecoder, PixelsAfterTheImageAreIgnored) {
    const TScreenPicture picture = test::PatternPicture(3, 2, 4);
    std::vector<std::byte> payload = Encode(picture, TTileBitDepth::Bits24);
    payload.resize(payload.size() + 17, std::byte{0x5A});
    const std::optional<TTileImage> tile = DecodeBothWays(payload);
    ASSERT_TRUE(tile);
    EXPECT_TRUE(test::SamePicture(tile->View(), picture));
}

TEST(TileDecoder, LargerImageSizeThanRowsNeedIsAccepted) {
    const TScreenPicture picture = test::PatternPicture(3, 2, 4);
    std::vector<std::byte> payload = Encode(picture, TTileBitDepth::Bits16);
    TBitmapInfoHeader info = HeaderOf(payload);
    info.biSizeImage += 8;
    SetHeader(payload, info);
    payload.resize(payload.size() + 8);
    const std::optional<TTileImage> tile = DecodeBothWays(payload);
    ASSERT_TRUE(tile);
    EXPECT_TRUE(test::SamePicture(tile->View(), test::Expanded555(picture)));
}

struct THeaderDamage {
    const char* Name;
    void (*Apply)(TBitmapInfoHeader&);
};

class MalformedHeader : public ::testing::TestWithParam<THeaderDamage> {};

INSTANTIATE_TEST_SUITE_P(
    Tiles, MalformedHeader,
    ::testing::Values(
        THeaderDamage{"HeaderSizeZero", [](TBitmapInfoHeader& h) { h.biSize = 0; }},
        THeaderDamage{"HeaderSizeV4", [](TBitmapInfoHeader& h) { h.biSize = 108; }},
        THeaderDamage{"WidthZero", [](TBitmapInfoHeader& h) { h.biWidth = 0; }},
        THeaderDamage{"WidthNegative", [](TBitmapInfoHeader& h) { h.biWidth = -13; }},
        THeaderDamage{"HeightZero", [](TBitmapInfoHeader& h) { h.biHeight = 0; }},
        THeaderDamage{"HeightNegative", [](TBitmapInfoHeader& h) { h.biHeight = -4; }},
        THeaderDamage{"WidthAbsurd", [](TBitmapInfoHeader& h) { h.biWidth = 1 << 30; }},
        THeaderDamage{"HeightAbsurd", [](TBitmapInfoHeader& h) { h.biHeight = 0x7FFFFFFF; }},
        THeaderDamage{"EightBits", [](TBitmapInfoHeader& h) { h.biBitCount = 8; }},
        THeaderDamage{"NoBits", [](TBitmapInfoHeader& h) { h.biBitCount = 0; }},
        THeaderDamage{"BitFields", [](TBitmapInfoHeader& h) { h.biCompression = 3; }},
        THeaderDamage{"ImageSizeOneShort", [](TBitmapInfoHeader& h) { h.biSizeImage -= 1; }},
        THeaderDamage{"ImageSizeZero", [](TBitmapInfoHeader& h) { h.biSizeImage = 0; }},
        THeaderDamage{"ImageSizeHuge", [](TBitmapInfoHeader& h) { h.biSizeImage = 0xFFFFFFFF; }},
        THeaderDamage{"TallerThanImage", [](TBitmapInfoHeader& h) { h.biHeight += 1; }},
        THeaderDamage{"WiderThanPadding", [](TBitmapInfoHeader& h) { h.biWidth = 15; }}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_P(MalformedHeader, GivesNoTile) {
    // 13 pixels at 24 bits: 39 bytes padded to 40 a row; a width of 15 needs 48.
    std::vector<std::byte> payload = Encode(test::PatternPicture(13, 4, 2), TTileBitDepth::Bits24);
    TBitmapInfoHeader info = HeaderOf(payload);
    GetParam().Apply(info);
    SetHeader(payload, info);
    EXPECT_FALSE(DecodeBothWays(payload));
}

TEST(TileDecoder, ReusedDecoderForgetsTheLargerTile) {
    TTileDecoder decoder;
    const TScreenPicture large = test::PatternPicture(64, 32, 1);
    const TScreenPicture small = test::PatternPicture(5, 3, 2);
    const auto first = StreamOf(Encode(large, TTileBitDepth::Bits32));
    ASSERT_NE(decoder.TileToBitmap(*first), nullptr);
    const auto second = StreamOf(Encode(small, TTileBitDepth::Bits32));
    const TTileImage* tile = decoder.TileToBitmap(*second);
    ASSERT_NE(tile, nullptr);
    EXPECT_TRUE(test::SamePicture(tile->View(), small));
    EXPECT_EQ(tile->Pixels.size(), 15u);
    EXPECT_GE(tile->Pixels.capacity(), 64u * 32u); // memory kept for the next large tile

    const std::vector<std::byte> smallPayload = Encode(small, TTileBitDepth::Bits32);
    const auto broken = StreamOf(std::span(smallPayload).first(41));
    EXPECT_EQ(decoder.TileToBitmap(*broken), nullptr);
}

TEST(TileDecoder, DecodesFromTheStreamPosition) {
    const TScreenPicture picture = test::PatternPicture(6, 2, 8);
    const std::vector<std::byte> payload = Encode(picture, TTileBitDepth::Bits16);
    TMemoryStream stream;
    stream.WriteBuffer(test::Bytes(9, 0xEE));
    stream.WriteBuffer(payload);
    stream.SetPosition(9);
    TTileDecoder decoder;
    const TTileImage* tile = decoder.TileToBitmap(stream);
    ASSERT_NE(tile, nullptr);
    EXPECT_TRUE(test::SamePicture(tile->View(), test::Expanded555(picture)));
    EXPECT_EQ(stream.Position(), stream.Size());
}

} // namespace
} // namespace vsr
