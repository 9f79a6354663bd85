#include "recording/BitmapPicture.h"
#include "support/Pictures.h"
#include "support/Recordings.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace vsr {
namespace {

using test::BitmapFile;
using test::TBitmapFileSpec;

TScreenPicture Decode(const std::vector<std::byte>& bytes) {
    TBitmapPicture picture;
    picture.LoadFromBytes(bytes);
    return picture.Image();
}

std::string ErrorOf(const std::vector<std::byte>& bytes) {
    try {
        Decode(bytes);
    } catch (const EPicture& error) {
        return error.what();
    }
    return "no error";
}

// Values on a grid, each from its position, within [0, limit).
std::vector<std::uint32_t> Grid(std::int32_t width, std::int32_t height, std::uint32_t limit) {
    std::vector<std::uint32_t> values;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            values.push_back(static_cast<std::uint32_t>(x * 5 + y * 3 + x * y) % limit);
    return values;
}

TScreenPicture Expected(std::int32_t width, std::int32_t height,
                        const std::vector<std::uint32_t>& values, auto colourOf) {
    TScreenPicture picture(width, height);
    for (std::size_t i = 0; i < values.size(); ++i)
        picture.Pixels[i] = colourOf(values[i]);
    return picture;
}

std::vector<std::uint32_t> Palette(std::size_t count) {
    std::vector<std::uint32_t> palette;
    for (std::size_t i = 0; i < count; ++i)
        palette.push_back(static_cast<std::uint32_t>((i * 0x1F3A57 + 0x102030) & 0xFFFFFF));
    return palette;
}

TBitmapFileSpec Spec(std::int32_t width, std::int32_t height, std::uint16_t bits,
                     std::uint32_t compression = 0, std::uint32_t infoSize = 40) {
    TBitmapFileSpec spec;
    spec.Width = width;
    spec.Height = height;
    spec.BitCount = bits;
    spec.Compression = compression;
    spec.InfoSize = infoSize;
    return spec;
}

// Odd widths make every row need padding, which exposes a wrong row length.
TEST(BitmapPicture, TrueColourRowsBottomUpAndTopDown) {
    const auto picture = test::PatternPicture(7, 5, 3);
    for (const bool topDown : {false, true})
        for (const std::uint16_t bits : {24, 32}) {
            TBitmapFileSpec spec = Spec(7, 5, bits);
            spec.TopDown = topDown;
            spec.Values = picture.Pixels;
            spec.FillerByte = 0xAB; // not part of the colour
            EXPECT_EQ(Decode(BitmapFile(spec)), picture) << bits << " bits, top-down " << topDown;
        }
}

TEST(BitmapPicture, SixteenBitsFiveFiveFiveByDefaultOrAsTheMasksSay) {
    const auto values = Grid(5, 3, 0x10000);
    TBitmapFileSpec plain = Spec(5, 3, 16);
    plain.Values = values;
    EXPECT_EQ(Decode(BitmapFile(plain)), Expected(5, 3, values, [](std::uint32_t v) {
                  return (v >> 10 & 31) << 19 | (v >> 5 & 31) << 11 | (v & 31) << 3;
              }));
    // 5-6-5 masks after the short header or inside the longer one.
    for (const std::uint32_t infoSize : {40u, 124u}) {
        TBitmapFileSpec spec = Spec(5, 3, 16, 3, infoSize);
        spec.Masks = {0xF800, 0x07E0, 0x001F};
        spec.Values = values;
        EXPECT_EQ(Decode(BitmapFile(spec)), Expected(5, 3, values,
                                                     [](std::uint32_t v) {
                                                         return (v >> 11 & 31) << 19 |
                                                                (v >> 5 & 63) << 10 | (v & 31) << 3;
                                                     }))
            << "header of " << infoSize << " bytes";
    }
}

TEST(BitmapPicture, ThirtyTwoBitsWithMasksInAnotherOrder) {
    const auto picture = test::PatternPicture(4, 2, 9);
    TBitmapFileSpec spec = Spec(4, 2, 32, 3);
    spec.Masks = {0x0000FF00, 0x00FF0000, 0xFF000000}; // red, green, blue
    // The fixture writes only 24 bits of a value into a 32-bit pixel; write these bytes whole.
    for (std::int32_t y = 1; y >= 0; --y)
        for (std::int32_t x = 0; x < 4; ++x) {
            const std::uint32_t colour = picture.At(x, y);
            spec.Encoded.push_back(std::byte{0});
            spec.Encoded.push_back(static_cast<std::byte>(colour >> 16)); // red
            spec.Encoded.push_back(static_cast<std::byte>(colour >> 8));  // green
            spec.Encoded.push_back(static_cast<std::byte>(colour));       // blue
        }
    EXPECT_EQ(Decode(BitmapFile(spec)), picture);
}

TEST(BitmapPicture, PalettedDepthsWithPaddedRowsAndShortColourTables) {
    for (const std::uint16_t bits : {1, 4, 8}) {
        const std::size_t colours = std::size_t{1} << bits;
        const auto values = Grid(11, 6, static_cast<std::uint32_t>(colours));
        TBitmapFileSpec spec = Spec(11, 6, bits);
        spec.TopDown = bits == 4;
        spec.Palette = Palette(colours);
        spec.Values = values;
        EXPECT_EQ(Decode(BitmapFile(spec)),
                  Expected(11, 6, values, [&](std::uint32_t v) { return spec.Palette[v]; }))
            << bits << " bits";
    }
    // A short colour table moves the pixel data up; indices past it are black.
    const std::vector<std::uint32_t> values = {0, 1, 2, 7, 2, 1, 0, 200, 1, 1};
    for (const std::uint32_t infoSize : {40u, 124u}) {
        TBitmapFileSpec spec = Spec(5, 2, 8, 0, infoSize);
        spec.ClrUsed = 3;
        spec.Palette = Palette(3);
        spec.Values = values;
        EXPECT_EQ(
            Decode(BitmapFile(spec)),
            Expected(5, 2, values, [&](std::uint32_t v) { return v < 3 ? spec.Palette[v] : 0u; }))
            << "header of " << infoSize << " bytes";
    }
}

std::vector<std::byte> Data(std::initializer_list<int> values) {
    std::vector<std::byte> bytes;
    for (int value : values)
        bytes.push_back(static_cast<std::byte>(value));
    return bytes;
}

TEST(BitmapPicture, RunLengthEightAndFourBits) {
    const auto palette = Palette(16);
    TBitmapFileSpec eight = Spec(6, 3, 8, 1);
    eight.ClrUsed = 16;
    eight.Palette = palette;
    eight.Encoded = Data({
        3, 1, 0, 3, 4, 5, 6, 0, // bottom row: run of three 1s, absolute 4 5 6 (padded)
        0, 0,                   // end of line
        0, 2, 2, 1,             // delta: two right, one up: row 1 stays black
        2, 7,                   // top row from x = 2: two 7s
        0, 1,                   // end of bitmap
    });
    TScreenPicture expected(6, 3);
    for (int x = 0; x < 6; ++x)
        expected.At(x, 2) = palette[x < 3 ? 1 : static_cast<std::size_t>(x + 1)];
    expected.At(2, 0) = expected.At(3, 0) = palette[7];
    EXPECT_EQ(Decode(BitmapFile(eight)), expected);

    TBitmapFileSpec four = Spec(7, 2, 4, 2);
    four.Palette = palette;
    four.Encoded = Data({
        5, 0x12,                   // bottom row: 1 2 1 2 1
        0, 0,                      // end of line
        0, 5, 0x34, 0x56, 0x70, 0, // absolute 3 4 5 6 7: three bytes, padded to four
        2, 0x9A,                   // 9 A
        0, 1,                      // end of bitmap
    });
    expected = TScreenPicture(7, 2);
    const int top[] = {3, 4, 5, 6, 7, 9, 10};
    for (int x = 0; x < 7; ++x) {
        expected.At(x, 0) = palette[static_cast<std::size_t>(top[x])];
        if (x < 5)
            expected.At(x, 1) = palette[x % 2 == 0 ? 1 : 2];
    }
    EXPECT_EQ(Decode(BitmapFile(four)), expected);
}

void SetSize(std::vector<std::byte>& bytes, std::int32_t width, std::int32_t height) {
    std::memcpy(bytes.data() + 18, &width, 4);
    std::memcpy(bytes.data() + 22, &height, 4);
}

TEST(BitmapPicture, UndecodableBytesRaise) {
    const auto picture = test::PatternPicture(9, 4, 1);
    const auto good = test::BitmapFileOf(picture);
    const auto changed = [&](std::size_t at, int value) {
        auto bytes = good;
        bytes[at] = static_cast<std::byte>(value);
        return bytes;
    };
    const std::string prefix = "Invalid bitmap picture: ";
    EXPECT_EQ(ErrorOf({}), prefix + "no bitmap file header");
    EXPECT_EQ(ErrorOf(changed(0, 'X')), prefix + "no bitmap file header");
    EXPECT_EQ(ErrorOf({good.begin(), good.end() - 12}), prefix + "truncated pixel data");
    EXPECT_EQ(Decode({good.begin(), good.end() - 1}), picture); // only the last padding is gone
    TBitmapFileSpec twoBits = Spec(2, 1, 2);
    twoBits.Values = {0, 1};
    EXPECT_EQ(ErrorOf(BitmapFile(twoBits)), prefix + "unsupported bit count 2");
    EXPECT_EQ(ErrorOf(changed(30, 4)), prefix + "unsupported compression 4"); // embedded JPEG
    auto outside = changed(10, 0xFF);
    outside[11] = std::byte{0xFF};
    EXPECT_EQ(ErrorOf(outside), prefix + "pixel data outside the file");
}

// A header must not make the decoder take memory that the file cannot fill.
TEST(BitmapPicture, SizesFromTheHeaderAreChecked) {
    auto bytes = test::BitmapFileOf(test::PatternPicture(4, 4, 1));
    SetSize(bytes, 30000, 30000);
    EXPECT_NE(ErrorOf(bytes).find("too large (30000 x 30000)"), std::string::npos);
    SetSize(bytes, 5000, 5000); // within the limits, but the data holds 4 x 4 pixels
    EXPECT_EQ(ErrorOf(bytes), "Invalid bitmap picture: truncated pixel data");
    SetSize(bytes, 0, 4);
    EXPECT_NE(ErrorOf(bytes).find("empty picture"), std::string::npos);
    SetSize(bytes, 4, std::numeric_limits<std::int32_t>::min());
    EXPECT_NE(ErrorOf(bytes).find("too large"), std::string::npos);
}

} // namespace
} // namespace vsr
