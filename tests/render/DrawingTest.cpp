#include "render/Drawing.h"
#include "recording/RecordingTestSupport.h"
#include "render/Bitmap32.h"
#include "render/RenderTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vsr {
namespace {

constexpr TPixel32 cGrey = 0xFF777777;

TScreenPicture Pattern(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    return test::PatternPicture(width, height, seed);
}

TConstPixels32 ViewOf(const TScreenPicture& picture) {
    return PackedPixels(picture.Width, picture.Height, picture.Pixels);
}

// What a bitmap filled with background shows after picture was copied to (x, y).
TScreenPicture Expected(std::int32_t width, std::int32_t height, std::uint32_t background,
                        const TScreenPicture& picture, std::int32_t x, std::int32_t y) {
    TScreenPicture result(width, height, background);
    for (std::int32_t row = 0; row < picture.Height; ++row)
        for (std::int32_t column = 0; column < picture.Width; ++column) {
            const std::int64_t targetX = std::int64_t{x} + column;
            const std::int64_t targetY = std::int64_t{y} + row;
            if (targetX >= 0 && targetX < width && targetY >= 0 && targetY < height)
                result.At(static_cast<std::int32_t>(targetX), static_cast<std::int32_t>(targetY)) =
                    picture.At(column, row);
        }
    return result;
}

struct TBlitCase {
    std::int32_t X;
    std::int32_t Y;
};

class TileBlit : public ::testing::TestWithParam<TBlitCase> {};

// A 256 x 32 tile in a 1024 x 48 picture: inside, across every edge and corner, and outside.
INSTANTIATE_TEST_SUITE_P(Positions, TileBlit,
                         ::testing::Values(TBlitCase{0, 0}, TBlitCase{1000, 0}, TBlitCase{1000, 40},
                                           TBlitCase{-10, -5}, TBlitCase{-250, 20},
                                           TBlitCase{500, 47}, TBlitCase{768, 16},
                                           TBlitCase{1024, 0}, TBlitCase{-256, 0}, TBlitCase{0, 48},
                                           TBlitCase{0, -32}, TBlitCase{2147483600, 0},
                                           TBlitCase{-2147483600, -2147483600}));

TEST_P(TileBlit, CopiesTheVisiblePartOnly) {
    TBitmap32 bitmap(1024, 48);
    bitmap.Fill(cGrey);
    const TScreenPicture tile = Pattern(256, 32, 5);
    const std::uint64_t before = bitmap.ModifiedCount();
    BlitTile(bitmap, ViewOf(tile), GetParam().X, GetParam().Y);
    EXPECT_TRUE(test::SamePicture(bitmap.View(),
                                  Expected(1024, 48, 0x777777, tile, GetParam().X, GetParam().Y)));
    EXPECT_GT(bitmap.ModifiedCount(), before);
}

TEST(TileBlit, TileAtX1000IsCutAtTheRightEdge) {
    TBitmap32 bitmap(1024, 32);
    bitmap.Fill(cGrey);
    const TScreenPicture tile = Pattern(256, 32, 6);
    BlitTile(bitmap, ViewOf(tile), 1000, 0);
    EXPECT_EQ(bitmap.At(999, 0), cGrey);
    EXPECT_EQ(bitmap.At(1000, 5), 0xFF000000 | tile.At(0, 5));
    EXPECT_EQ(bitmap.At(1023, 31), 0xFF000000 | tile.At(23, 31));
}

TEST(TileBlit, WaitsForTheCanvasLock) {
    TBitmap32 bitmap(8, 8);
    bitmap.Fill(cGrey);
    const TScreenPicture tile(8, 8, 0x123456);
    std::atomic<bool> done = false;
    std::thread worker;
    {
        const auto lock = bitmap.CanvasLock();
        worker = std::thread([&] {
            BlitTile(bitmap, ViewOf(tile), 0, 0);
            done = true;
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(done);
        EXPECT_EQ(bitmap.At(3, 3), cGrey);
    }
    worker.join();
    EXPECT_EQ(bitmap.At(3, 3), 0xFF123456u);
}

TEST(DrawCentred, LargerPictureIsCutOnAllSides) {
    TBitmap32 bitmap(10, 6);
    const TScreenPicture picture = Pattern(15, 9, 2);
    DrawCentred(bitmap, ViewOf(picture));
    // (10 - 15) div 2 = -2 and (6 - 9) div 2 = -1, truncated toward zero.
    EXPECT_EQ(bitmap.At(0, 0), 0xFF000000 | picture.At(2, 1));
    EXPECT_EQ(bitmap.At(9, 5), 0xFF000000 | picture.At(11, 6));
    EXPECT_TRUE(test::SamePicture(bitmap.View(), Expected(10, 6, 0, picture, -2, -1)));
}

TEST(DrawCentred, SmallerPictureIsFramedInWhite) {
    TBitmap32 bitmap(10, 7);
    bitmap.Fill(cGrey);
    const TScreenPicture picture = Pattern(3, 2, 7);
    DrawCentred(bitmap, ViewOf(picture));
    EXPECT_TRUE(test::SamePicture(bitmap.View(), Expected(10, 7, 0xFFFFFF, picture, 3, 2)));
}

TEST(DrawCentred, EmptyPictureLeavesTheBitmap) {
    TBitmap32 bitmap(4, 4);
    bitmap.Fill(cGrey);
    DrawCentred(bitmap, TConstPixels32{});
    EXPECT_EQ(bitmap.At(2, 2), cGrey);
}

TEST(DrawCentred, PicturesWithoutAlphaBecomeOpaque) {
    TBitmap32 bitmap(2, 1);
    const std::vector<TPixel32> pixels = {0x00ABCDEF, 0x80123456};
    DrawCentred(bitmap, PackedPixels(2, 1, pixels));
    EXPECT_EQ(bitmap.At(0, 0), 0xFFABCDEFu);
    EXPECT_EQ(bitmap.At(1, 0), 0xFF123456u);
}

TEST(Bitmap32, ResizingKeepsTheOverlapAndWidthZeroDropsAll) {
    TBitmap32 bitmap(4, 3);
    bitmap.Fill(cGrey);
    bitmap.SetSize(6, 2);
    EXPECT_EQ(bitmap.At(3, 1), cGrey);
    EXPECT_EQ(bitmap.At(5, 1), Black32);
    EXPECT_EQ(bitmap.Pixels().size(), 12u);
    bitmap.SetSize(0, 2);
    EXPECT_TRUE(bitmap.Empty());
    bitmap.SetSize(6, 2);
    EXPECT_EQ(bitmap.At(3, 1), Black32);
}

TEST(Bitmap32, PrepareBitmapMakesItBlackAtTheNewSize) {
    TBitmap32 bitmap(3, 3);
    bitmap.Fill(cGrey);
    PrepareBitmap(bitmap, 5, 4);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.StrideBytes(), 20);
    for (TPixel32 pixel : bitmap.Pixels())
        ASSERT_EQ(pixel, Black32);
}

TEST(Bitmap32, RefusesImpossibleSizes) {
    TBitmap32 bitmap(2, 2);
    EXPECT_THROW(bitmap.SetSize(-1, 5), Exception);
    EXPECT_THROW(bitmap.SetSize(5, TBitmap32::MaxSide + 1), Exception);
    EXPECT_EQ(bitmap.Width(), 2);
}

} // namespace
} // namespace vsr
