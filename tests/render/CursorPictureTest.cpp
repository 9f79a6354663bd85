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

TEST(CursorPicture, WhiteArrowWithBlackOutlineTipAtColumn9Row3OnSilver) {
    EXPECT_EQ(Cursor().TransparentColour(), cSilver);
    const std::set<TPixel32> colours(Cursor().Pixels().begin(), Cursor().Pixels().end());
    EXPECT_EQ(colours, (std::set<TPixel32>{cSilver, Black32, White32}));
    EXPECT_EQ(Cursor().View().At(9, 3), Black32);
    // Down the left edge runs the outline; inside it, white.
    for (std::int32_t y = 4; y < 18; ++y)
        EXPECT_EQ(Cursor().View().At(9, y), Black32) << y;
    EXPECT_EQ(Cursor().View().At(10, 5), White32);
    EXPECT_EQ(Cursor().View().At(12, 10), White32);
    for (std::int32_t i = 0; i < TCursorPicture::PixelCount; ++i) {
        const std::int32_t x = i % 32, y = i / 32;
        const bool transparent = Cursor().Transparent(x, y);
        // Nothing of the arrow lies above or left of its tip, and no white touches silver.
        if (y < 3 || x < 9) {
            ASSERT_TRUE(transparent) << x << "," << y;
        }
        if (Cursor().View().At(x, y) == White32 && x > 0 && x < 31) {
            ASSERT_FALSE(Cursor().Transparent(x - 1, y)) << x << "," << y;
            ASSERT_FALSE(Cursor().Transparent(x + 1, y)) << x << "," << y;
        }
        ASSERT_EQ(Cursor().ArgbPixels()[i], transparent ? 0u : Cursor().Pixels()[i]) << i;
    }
}

TEST(DrawCursorPicture, NaturalAndHalfSizeLeaveTheBackgroundShowing) {
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

    TBitmap32 half(16, 16);
    half.Fill(cRed);
    DrawCursorPicture(half, TRect{0, 0, 16, 16}); // every other pixel
    for (std::int32_t y = 0; y < 16; ++y)
        for (std::int32_t x = 0; x < 16; ++x) {
            const bool clear = Cursor().Transparent(2 * x, 2 * y);
            ASSERT_EQ(half.At(x, y), clear ? cRed : Cursor().View().At(2 * x, 2 * y))
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
