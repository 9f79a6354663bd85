// Tiles decoded and drawn into the off-screen picture, and where the picture, its black bars
// and the cursor go in the play panel.

#include "render/Drawing.h"
#include "render/Geometry.h"
#include "render/TileDecoder.h"
#include "support/Files.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>

namespace vsr {
namespace {

using enum TTileBitDepth;
using THeaderPatch = std::pair<std::size_t, std::int32_t>; // a 32-bit value at a header offset

std::vector<std::byte> Encode(const TScreenPicture& picture, TTileBitDepth depth,
                              const std::vector<THeaderPatch>& patches = {}) {
    auto payload = EncodeTileDib(picture, {0, 0, picture.Width, picture.Height}, depth);
    for (const auto& [offset, value] : patches)
        std::memcpy(payload.data() + offset, &value, sizeof value);
    return payload;
}

// The reused decoder reads from memory and through the plain stream interface, the one-off
// decoding through the latter; all start at the stream's position and stop past the pixels.
std::optional<TTileImage> Decode(TTileDecoder& decoder, std::span<const std::byte> payload) {
    std::optional<TTileImage> tiles[3];
    for (int way = 0; way < 3; ++way) {
        TMemoryStream memory;
        memory.WriteBuffer(test::Bytes(9, 0xEE));
        memory.WriteBuffer(payload);
        memory.SetPosition(9);
        TStream& stream = memory;
        if (way == 2)
            tiles[2] = TileToBitmap(stream);
        else if (const auto* t = way ? decoder.TileToBitmap(stream) : decoder.TileToBitmap(memory))
            tiles[way] = *t;
        const std::int64_t end = tiles[way] ? 49 + ValidTileHeader(payload)->biSizeImage : 0;
        EXPECT_TRUE(!tiles[way] || memory.Position() == end) << way;
        EXPECT_EQ(tiles[way].has_value(), tiles[0].has_value()) << way;
        EXPECT_TRUE(!tiles[way] || !tiles[0] || tiles[way]->Pixels == tiles[0]->Pixels) << way;
    }
    return tiles[0];
}

// Widths 1 to 3 and 13 give every row padding of the three depths; the wide tile comes first,
// so that the reused decoder must forget its size. Each 5-bit channel v becomes v << 3 | v >> 2.
TEST(TileDecoder, EveryDepthAndRowPaddingKeepsEveryPixel) {
    TTileDecoder decoder;
    for (const std::int32_t width : {256, 1, 2, 3, 13})
        for (const auto depth : {Bits16, Bits24, Bits32}) {
            const TScreenPicture picture = test::PatternPicture(width, 7, 3);
            const auto tile = Decode(decoder, Encode(picture, depth));
            const auto expected = depth == Bits16 ? test::Expanded555(picture) : picture;
            EXPECT_TRUE(tile && test::SamePicture(tile->View(), expected)) << width << int(depth);
        }
    TScreenPicture picture(4, 1);
    picture.Pixels = {0xFFFFFF, 0x000000, 0x848484, 0x08F810};
    EXPECT_EQ(Decode(decoder, Encode(picture, Bits16))->Pixels,
              (std::vector<TPixel32>{0xFFFFFFFF, 0xFF000000, 0xFF848484, 0xFF08FF10}));
}

// Headers that would make decoding read past the data are refused. 13 pixels at 24 bits need
// 39 bytes padded to 40 a row, 160 for 4 rows; a width of 15 needs 48 a row. The damages:
// header size 108; width -13, height -4, width 1 << 30, height 0x7FFFFFFF; 8 bits; bit
// fields; image size one short or huge; taller than the image; wider than the padding.
TEST(TileDecoder, ShortPayloadsAndDamagedHeadersGiveNoTile) {
    TTileDecoder decoder;
    const TScreenPicture picture = test::PatternPicture(13, 4, 2);
    const auto good = Encode(picture, Bits24);
    ASSERT_TRUE(Decode(decoder, good));
    for (std::size_t size : {std::size_t{0}, std::size_t{39}, std::size_t{40}, good.size() - 1})
        EXPECT_FALSE(Decode(decoder, std::span(good).first(size))) << size;
    const THeaderPatch damages[] = {{0, 108},        {4, -13}, {8, -4}, {4, 1 << 30},
                                    {8, 0x7FFFFFFF}, {14, 8},  {16, 3}, {20, 159},
                                    {20, -1},        {8, 5},   {4, 15}};
    for (const THeaderPatch& patch : damages)
        EXPECT_FALSE(Decode(decoder, Encode(picture, Bits24, {patch}))) << patch.first;
}

// A 16 x 8 screen holds tiles of up to 256 x 256; one pixel more either way is damage.
TEST(TileDecoder, TilesLargerThanTheScreenRoundedUpAreRefused) {
    const TTileLimit limit = TileLimitFor(16, 8);
    TTileDecoder screen(limit), any;
    const std::tuple<std::int32_t, std::int32_t, bool> tiles[] = {
        {256, 256, true}, {257, 1, false}, {1, 257, false}};
    for (const auto& [width, height, fits] : tiles) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const auto payload = Encode(test::PatternPicture(width, height, 1), Bits32);
        TMemoryStream stream;
        stream.WriteBuffer(payload);
        stream.SetPosition(0);
        EXPECT_EQ(screen.TileToBitmap(stream) != nullptr, fits);
        TTileImage image;
        EXPECT_EQ(DecodeTile(payload, image, limit), fits);
        EXPECT_TRUE(Decode(any, payload));
    }
}

TConstPixels32 ViewOf(const TScreenPicture& picture) {
    return PackedPixels(picture.Width, picture.Height, picture.Pixels);
}

// A width x height picture of background after picture was copied to (x, y).
TScreenPicture Expected(std::int32_t width, std::int32_t height, std::uint32_t background,
                        const TScreenPicture& picture, std::int64_t x, std::int64_t y) {
    TScreenPicture result(width, height, background);
    for (std::int32_t row = 0; row < height; ++row)
        for (std::int32_t column = 0; column < width; ++column)
            if (column >= x && column < x + picture.Width && row >= y && row < y + picture.Height)
                result.At(column, row) = picture.At(column - x, row - y);
    return result;
}

// A 256 x 32 tile in a 1024 x 48 picture: inside, at X = 1000 cut at the right edge, across
// the other edges and corners, outside, and far away without overflow. Pixels come out opaque.
// Decoded straight into the picture: every depth, and a width that leaves a rest after the
// sixteen- and eight-pixel steps.
TEST(TileBlit, CopiesTheVisiblePartOnly) {
    const std::pair<std::int32_t, std::int32_t> positions[] = {
        {0, 0},    {1000, 0}, {1000, 40},  {-10, -5},       {-250, 20},
        {1024, 0}, {0, 48},   {-253, -32}, {2147483600, 0}, {-2147483600, -2147483600}};
    for (const std::int32_t width : {256, 253}) {
        const TScreenPicture tile = test::PatternPicture(width, 32, 5);
        for (const auto& [x, y] : positions) {
            for (const auto depth : {Bits16, Bits24, Bits32}) {
                TBitmap32 drawn(1024, 48);
                drawn.Fill(0xFF777777);
                const TTileSize size = DrawTile(Encode(tile, depth), drawn, x, y);
                const auto expected = depth == Bits16 ? test::Expanded555(tile) : tile;
                EXPECT_TRUE(
                    size.Width == width &&
                    test::SamePicture(drawn.View(), Expected(1024, 48, 0x777777, expected, x, y)))
                    << x << ", " << y << " depth " << int(depth);
            }
        }
    }
}

// The playback worker copies tiles while the window may hold the lock to paint.
TEST(TileBlit, WaitsForTheCanvasLock) {
    TBitmap32 bitmap(8, 8);
    auto lock = bitmap.CanvasLock();
    std::thread worker(
        [&] { DrawTile(Encode(TScreenPicture(8, 8, 0x123456), Bits32), bitmap, 0, 0); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(bitmap.At(3, 3), Black32);
    lock.unlock();
    worker.join();
    EXPECT_EQ(bitmap.At(3, 3), 0xFF123456u);
}

// Offsets (10 - 15) div 2 = -2 and (6 - 9) div 2 = -1 truncate toward zero. Resizing keeps the
// overlapping pixels, so the white frame must be drawn.
TEST(DrawCentred, LargerPictureIsCutOnAllSidesSmallerFramedInWhite) {
    TBitmap32 bitmap(10, 6);
    const TScreenPicture large = test::PatternPicture(15, 9, 2), small(3, 2, 0x123456);
    DrawCentred(bitmap, ViewOf(large));
    EXPECT_TRUE(test::SamePicture(bitmap.View(), Expected(10, 6, 0, large, -2, -1)));
    bitmap.SetSize(10, 7);
    DrawCentred(bitmap, ViewOf(small));
    DrawCentred(bitmap, TConstPixels32{}); // no picture: nothing drawn
    EXPECT_TRUE(test::SamePicture(bitmap.View(), Expected(10, 7, 0xFFFFFF, small, 3, 2)));
}

// Panel width and height, picture width and height, the rectangle expected. PW and PH are the
// panel's size minus 1. The panel 1000 x 600 has PH 599: W = 599 * 4 / 3 = 798.67 -> 799,
// left (999 - 799) div 2. The panel 800 x 1000 has PW 799: H = 599.25 -> 599, top
// (999 - 599) div 2. A 3 x 2 picture at PH 7 has W = 10.5 -> 10, at PH 5 W = 7.5 -> 8; a 2 x 3
// picture at PW 5 has H = 7.5 -> 8, top (99 - 8) div 2. Equal aspects take the panel width.
// Degenerate sizes give an empty rectangle. Bars and picture cover each pixel once.
TEST(FitRect, CentresLosesOnePixelRoundsHalvesToEvenAndLeavesBlackBars) {
    // clang-format off
    const std::int32_t cases[][8] = {
        {800, 600, 800, 600, 0, 0, 799, 599},    {1000, 600, 800, 600, 100, 0, 899, 599},
        {800, 1000, 800, 600, 0, 200, 799, 799}, {401, 301, 800, 600, 0, 0, 400, 300},
        {101, 8, 3, 2, 45, 0, 55, 7},            {101, 6, 3, 2, 46, 0, 54, 5},
        {6, 100, 2, 3, 0, 45, 5, 53},            {800, 600, 0, 600, 0, 0, 0, 0},
        {800, 600, 800, 0, 0, 0, 0, 0},          {-5, 600, 800, 600, 0, 0, 0, 0},
        {1, 1, 800, 600, 0, 0, 0, 0}};
    // clang-format on
    for (const auto& [panelWidth, panelHeight, width, height, left, top, right, bottom] : cases) {
        const TRect fit = FitRect(panelWidth, panelHeight, width, height);
        EXPECT_EQ(fit, (TRect{left, top, right, bottom})) << panelWidth << " x " << panelHeight;
        const auto bars = BlackBars(fit, panelWidth, panelHeight);
        for (std::int32_t y = 0; y < panelHeight; ++y)
            for (std::int32_t x = 0; x < panelWidth; ++x) {
                int covered = 0;
                for (const TRect& r : {fit, bars[0], bars[1], bars[2], bars[3]})
                    covered += x >= r.Left && x < r.Right && y >= r.Top && y < r.Bottom;
                ASSERT_EQ(covered, 1) << panelWidth << "x" << panelHeight << " " << x << "," << y;
            }
    }
}

// At half size the cursor is 16 x 16: 101 * 400 div 800 = 50, (101 + 32) * 400 div 800 = 66.
// 3 * 799 div 800 = 2, where dividing first would give 0.
TEST(CursorRect, ScalesWithThePictureMultiplyingBeforeDividing) {
    EXPECT_EQ(CursorRect(101, 51, 32, 32, FitRect(401, 301, 800, 600), 800, 600),
              (TRect{50, 25, 66, 41}));
    EXPECT_EQ(CursorRect(3, 3, 32, 32, {0, 0, 799, 599}, 800, 600), (TRect{2, 2, 34, 34}));
}

} // namespace
} // namespace vsr
