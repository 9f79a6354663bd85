#include "render/CursorPicture.h"
#include "render/Bitmap32.h"

#include <gtest/gtest.h>

#include <set>

namespace vsr {
namespace {

constexpr TPixel32 cSilver = 0xFFC0C0C0;
constexpr TPixel32 cRed = 0xFFFF0000;

const TCursorPicture& Cursor() {
    return TCursorPicture::Instance();
}

TEST(CursorPicture, SilverBackgroundIsTheTransparentColour) {
    EXPECT_EQ(Cursor().Pixels().size(), 32u * 32u);
    EXPECT_EQ(Cursor().TransparentColour(), cSilver);
    EXPECT_TRUE(Cursor().Transparent(0, 0));
    EXPECT_TRUE(Cursor().Transparent(31, 31));
    EXPECT_TRUE(Cursor().Transparent(0, 31));
}

TEST(CursorPicture, ArrowTipIsAtColumn9Row3) {
    EXPECT_FALSE(Cursor().Transparent(9, 3));
    EXPECT_EQ(Cursor().View().At(9, 3), Black32);
    // Nothing of the arrow lies above or left of its tip.
    for (std::int32_t y = 0; y < 32; ++y)
        for (std::int32_t x = 0; x < 32; ++x)
            if (y < 3 || x < 9) {
                ASSERT_TRUE(Cursor().Transparent(x, y)) << x << "," << y;
            }
}

TEST(CursorPicture, WhiteArrowWithBlackOutlinePointingUpLeft) {
    // Down the left edge runs the outline; inside it, white; the arrow widens downwards.
    std::int32_t whiteCount = 0;
    for (TPixel32 pixel : Cursor().Pixels())
        whiteCount += pixel == White32;
    EXPECT_GT(whiteCount, 40);
    for (std::int32_t y = 4; y < 18; ++y)
        EXPECT_EQ(Cursor().View().At(9, y), Black32) << y;
    EXPECT_EQ(Cursor().View().At(10, 5), White32);
    EXPECT_EQ(Cursor().View().At(12, 10), White32);
    // Every white pixel has the outline or more white to its left: no white touches silver.
    for (std::int32_t y = 0; y < 32; ++y)
        for (std::int32_t x = 1; x < 31; ++x)
            if (Cursor().View().At(x, y) == White32) {
                ASSERT_FALSE(Cursor().Transparent(x - 1, y)) << x << "," << y;
                ASSERT_FALSE(Cursor().Transparent(x + 1, y)) << x << "," << y;
            }
}

TEST(CursorPicture, UsesAtMostSixteenColours) {
    const std::set<TPixel32> colours(Cursor().Pixels().begin(), Cursor().Pixels().end());
    EXPECT_LE(colours.size(), 16u);
    EXPECT_EQ(colours, (std::set<TPixel32>{cSilver, Black32, White32}));
}

TEST(CursorPicture, ArgbPixelsAreClearExactlyWhereTransparent) {
    for (std::int32_t i = 0; i < TCursorPicture::PixelCount; ++i) {
        const bool transparent = Cursor().Transparent(i % 32, i / 32);
        ASSERT_EQ(Cursor().ArgbPixels()[i], transparent ? 0u : Cursor().Pixels()[i]) << i;
    }
}

TEST(DrawCursorPicture, NaturalSizeLeavesTheBackgroundShowing) {
    TBitmap32 bitmap(40, 40);
    bitmap.Fill(cRed);
    DrawCursorPicture(bitmap, TRect{4, 2, 36, 34});
    for (std::int32_t y = 0; y < 40; ++y)
        for (std::int32_t x = 0; x < 40; ++x) {
            const bool inside = x >= 4 && x < 36 && y >= 2 && y < 34;
            const TPixel32 expected = inside && !Cursor().Transparent(x - 4, y - 2)
                                          ? Cursor().View().At(x - 4, y - 2)
                                          : cRed;
            ASSERT_EQ(bitmap.At(x, y), expected) << x << "," << y;
        }
    EXPECT_EQ(bitmap.At(13, 5), Black32); // the tip
}

TEST(DrawCursorPicture, HalfSizeTakesEveryOtherPixel) {
    TBitmap32 bitmap(16, 16);
    bitmap.Fill(cRed);
    DrawCursorPicture(bitmap, TRect{0, 0, 16, 16});
    for (std::int32_t y = 0; y < 16; ++y)
        for (std::int32_t x = 0; x < 16; ++x) {
            const bool clear = Cursor().Transparent(2 * x, 2 * y);
            ASSERT_EQ(bitmap.At(x, y), clear ? cRed : Cursor().View().At(2 * x, 2 * y))
                << x << "," << y;
        }
}

TEST(DrawCursorPicture, ClippedAtEveryEdge) {
    TBitmap32 bitmap(20, 20);
    bitmap.Fill(cRed);
    DrawCursorPicture(bitmap, TRect{10, 12, 42, 44});
    EXPECT_EQ(bitmap.At(19, 15), Black32); // the tip at (10 + 9, 12 + 3)
    DrawCursorPicture(bitmap, TRect{-9, -3, 23, 29});
    EXPECT_EQ(bitmap.At(0, 0), Black32);
    EXPECT_EQ(bitmap.At(1, 2), White32);
    bitmap.Fill(cRed);
    DrawCursorPicture(bitmap, TRect{30, 30, 62, 62});
    DrawCursorPicture(bitmap, TRect{5, 5, 5, 37});
    // A rectangle reaching far out: only its transparent right and bottom columns fall inside.
    DrawCursorPicture(bitmap, TRect{-2147483647, -2147483647, 20, 20});
    for (TPixel32 pixel : bitmap.Pixels())
        ASSERT_EQ(pixel, cRed);
}

} // namespace
} // namespace vsr
