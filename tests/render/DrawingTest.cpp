#include "render/Drawing.h"
#include "support/Recordings.h"
#include "render/Bitmap32.h"
#include "support/Pictures.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vsr {
namespace {

constexpr TPixel32 cGrey = 0xFF777777;

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

// A 256 x 32 tile in a 1024 x 48 picture: inside, at X = 1000 cut at the right edge, across
// the other edges and corners, outside, and far away without overflow.
TEST(TileBlit, CopiesTheVisiblePartOnly) {
    const TScreenPicture tile = test::PatternPicture(256, 32, 5);
    const std::pair<std::int32_t, std::int32_t> positions[] = {
        {0, 0},    {1000, 0}, {1000, 40},  {-10, -5},       {-250, 20},
        {1024, 0}, {0, 48},   {-256, -32}, {2147483600, 0}, {-2147483600, -2147483600}};
    for (const auto& [x, y] : positions) {
        TBitmap32 bitmap(1024, 48);
        bitmap.Fill(cGrey);
        const std::uint64_t before = bitmap.ModifiedCount();
        BlitTile(bitmap, ViewOf(tile), x, y);
        EXPECT_TRUE(test::SamePicture(bitmap.View(), Expected(1024, 48, 0x777777, tile, x, y)))
            << x << ", " << y;
        EXPECT_GT(bitmap.ModifiedCount(), before);
    }
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

TEST(DrawCentred, LargerPictureIsCutOnAllSidesSmallerFramedInWhite) {
    TBitmap32 bitmap(10, 6);
    const TScreenPicture large = test::PatternPicture(15, 9, 2);
    DrawCentred(bitmap, ViewOf(large));
    // (10 - 15) div 2 = -2 and (6 - 9) div 2 = -1, truncated toward zero.
    EXPECT_TRUE(test::SamePicture(bitmap.View(), Expected(10, 6, 0, large, -2, -1)));

    bitmap.SetSize(10, 7);
    bitmap.Fill(cGrey);
    const TScreenPicture small = test::PatternPicture(3, 2, 7);
    DrawCentred(bitmap, ViewOf(small));
    EXPECT_TRUE(test::SamePicture(bitmap.View(), Expected(10, 7, 0xFFFFFF, small, 3, 2)));

    bitmap.Fill(cGrey);
    DrawCentred(bitmap, TConstPixels32{}); // no picture: nothing drawn
    EXPECT_EQ(bitmap.At(2, 2), cGrey);

    // Pictures without alpha become opaque.
    const std::vector<TPixel32> pixels = {0x00ABCDEF, 0x80123456};
    bitmap.SetSize(2, 1);
    DrawCentred(bitmap, PackedPixels(2, 1, pixels));
    EXPECT_EQ(bitmap.At(0, 0), 0xFFABCDEFu);
    EXPECT_EQ(bitmap.At(1, 0), 0xFF123456u);
}

TEST(Bitmap32, ResizingKeepsTheOverlapPrepareMakesItBlackImpossibleSizesRaise) {
    TBitmap32 bitmap(4, 3);
    bitmap.Fill(cGrey);
    bitmap.SetSize(6, 2);
    EXPECT_EQ(bitmap.At(3, 1), cGrey);
    EXPECT_EQ(bitmap.At(5, 1), Black32);
    bitmap.SetSize(0, 2);
    EXPECT_TRUE(bitmap.Empty());
    bitmap.SetSize(6, 2);
    EXPECT_EQ(bitmap.At(3, 1), Black32);

    bitmap.Fill(cGrey);
    PrepareBitmap(bitmap, 5, 4);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.StrideBytes(), 20);
    for (TPixel32 pixel : bitmap.Pixels())
        ASSERT_EQ(pixel, Black32);

    EXPECT_THROW(bitmap.SetSize(-1, 5), Exception);
    EXPECT_THROW(bitmap.SetSize(5, TBitmap32::MaxSide + 1), Exception);
    EXPECT_EQ(bitmap.Width(), 5);
}

} // namespace
} // namespace vsr
