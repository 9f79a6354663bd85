#include "recording/BitmapPicture.h"
#include "PictureFixtures.h"
#include "RecordingTestSupport.h"

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
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            picture.At(x, y) = colourOf(values[static_cast<std::size_t>(y) * width + x]);
    return picture;
}

std::vector<std::uint32_t> Palette(std::size_t count) {
    std::vector<std::uint32_t> palette;
    for (std::size_t i = 0; i < count; ++i)
        palette.push_back(static_cast<std::uint32_t>((i * 0x1F3A57 + 0x102030) & 0xFFFFFF));
    return palette;
}

TBitmapFileSpec Spec(std::int32_t width, std::int32_t height, std::uint16_t bits,
                     std::uint32_t compression = 0) {
    TBitmapFileSpec spec;
    spec.Width = width;
    spec.Height = height;
    spec.BitCount = bits;
    spec.Compression = compression;
    return spec;
}

std::string ErrorOf(const std::vector<std::byte>& bytes) {
    try {
        Decode(bytes);
    } catch (const EPicture& error) {
        return error.what();
    }
    return "no error";
}

// Odd widths make every row need padding, which exposes a wrong row length.
TEST(BitmapPicture, TrueColourRowsBottomUpAndTopDown) {
    const auto picture = test::PatternPicture(7, 5, 3);
    for (const bool topDown : {false, true}) {
        for (const std::uint16_t bits : {24, 32}) {
            TBitmapFileSpec spec = Spec(7, 5, bits);
            spec.TopDown = topDown;
            spec.Values = picture.Pixels;
            spec.FillerByte = 0xAB; // not part of the colour
            EXPECT_EQ(Decode(BitmapFile(spec)), picture) << bits << " bits, top-down " << topDown;
        }
    }
}

TEST(BitmapPicture, SixteenBitsFiveFiveFiveByDefault) {
    const auto values = Grid(5, 3, 0x8000);
    TBitmapFileSpec spec = Spec(5, 3, 16);
    spec.Values = values;
    const auto expected = Expected(5, 3, values, [](std::uint32_t v) {
        return (v >> 10 & 31) << 19 | (v >> 5 & 31) << 11 | (v & 31) << 3;
    });
    EXPECT_EQ(Decode(BitmapFile(spec)), expected);
}

TEST(BitmapPicture, SixteenBitsWithFiveSixFiveMasksInEachHeaderSize) {
    const auto values = Grid(3, 4, 0x10000);
    const auto expected = Expected(3, 4, values, [](std::uint32_t v) {
        return (v >> 11 & 31) << 19 | (v >> 5 & 63) << 10 | (v & 31) << 3;
    });
    for (const std::uint32_t infoSize : {40u, 108u, 124u}) {
        TBitmapFileSpec spec = Spec(3, 4, 16, 3);
        spec.InfoSize = infoSize;
        spec.Masks = {0xF800, 0x07E0, 0x001F};
        spec.Values = values;
        EXPECT_EQ(Decode(BitmapFile(spec)), expected) << "header of " << infoSize << " bytes";
    }
}

TEST(BitmapPicture, ThirtyTwoBitsWithMasksInAnotherOrder) {
    const auto picture = test::PatternPicture(4, 2, 9);
    TBitmapFileSpec spec = Spec(4, 2, 32, 3);
    spec.Masks = {0x0000FF00, 0x00FF0000, 0xFF000000}; // red, green, blue
    for (std::uint32_t colour : picture.Pixels)
        spec.Values.push_back((colour >> 16 & 0xFF) << 8 | (colour >> 8 & 0xFF) << 16 |
                              (colour & 0xFF) << 24);
    // The writer puts only 24 bits of a value into a 32-bit pixel; write these bytes whole.
    std::vector<std::byte> encoded;
    for (std::int32_t y = 1; y >= 0; --y)
        for (std::int32_t x = 0; x < 4; ++x) {
            const std::uint32_t v = spec.Values[static_cast<std::size_t>(y) * 4 + x];
            for (int i = 0; i < 4; ++i)
                encoded.push_back(static_cast<std::byte>(v >> (8 * i)));
        }
    spec.Encoded = encoded;
    EXPECT_EQ(Decode(BitmapFile(spec)), picture);
}

TEST(BitmapPicture, PalettedDepthsWithPaddedRows) {
    for (const std::uint16_t bits : {1, 4, 8}) {
        for (const bool topDown : {false, true}) {
            const std::size_t colours = std::size_t{1} << bits;
            const auto values = Grid(11, 6, static_cast<std::uint32_t>(colours));
            const auto palette = Palette(colours);
            TBitmapFileSpec spec = Spec(11, 6, bits);
            spec.TopDown = topDown;
            spec.Palette = palette;
            spec.Values = values;
            const auto expected =
                Expected(11, 6, values, [&](std::uint32_t v) { return palette[v]; });
            EXPECT_EQ(Decode(BitmapFile(spec)), expected) << bits << " bits, top-down " << topDown;
        }
    }
}

// A short colour table moves the pixel data up; indices past it are black.
TEST(BitmapPicture, ShortColourTableAfterALargerHeader) {
    const auto palette = Palette(3);
    const std::vector<std::uint32_t> values = {0, 1, 2, 7, 2, 1, 0, 200, 1, 1};
    for (const std::uint32_t infoSize : {40u, 108u, 124u}) {
        TBitmapFileSpec spec = Spec(5, 2, 8);
        spec.InfoSize = infoSize;
        spec.ClrUsed = 3;
        spec.Palette = palette;
        spec.Values = values;
        const auto expected =
            Expected(5, 2, values, [&](std::uint32_t v) { return v < 3 ? palette[v] : 0u; });
        EXPECT_EQ(Decode(BitmapFile(spec)), expected) << "header of " << infoSize << " bytes";
    }
}

std::vector<std::byte> Data(std::initializer_list<int> values) {
    std::vector<std::byte> bytes;
    for (int value : values)
        bytes.push_back(static_cast<std::byte>(value));
    return bytes;
}

TEST(BitmapPicture, RunLengthEightBits) {
    const auto palette = Palette(8);
    TBitmapFileSpec spec = Spec(6, 3, 8, 1);
    spec.ClrUsed = 8;
    spec.Palette = palette;
    // clang-format off
    spec.Encoded = Data({
        3, 1, 0, 3, 4, 5, 6, 0, // bottom row: run of three 1s, absolute 4 5 6 (padded)
        0, 0,                   // end of line
        0, 2, 2, 1,             // delta: two right, one up: row 1 stays black
        2, 7,                   // top row from x = 2: two 7s
        0, 1,                   // end of bitmap
    });
    // clang-format on
    TScreenPicture expected(6, 3);
    for (int x = 0; x < 3; ++x)
        expected.At(x, 2) = palette[1];
    for (int x = 3; x < 6; ++x)
        expected.At(x, 2) = palette[static_cast<std::size_t>(x + 1)];
    expected.At(2, 0) = palette[7];
    expected.At(3, 0) = palette[7];
    EXPECT_EQ(Decode(BitmapFile(spec)), expected);
}

TEST(BitmapPicture, RunLengthFourBits) {
    const auto palette = Palette(16);
    TBitmapFileSpec spec = Spec(7, 2, 4, 2);
    spec.Palette = palette;
    // clang-format off
    spec.Encoded = Data({
        5, 0x12,                   // bottom row: 1 2 1 2 1
        0, 0,                      // end of line
        0, 5, 0x34, 0x56, 0x70, 0, // absolute 3 4 5 6 7: three bytes, padded to four
        2, 0x9A,                   // 9 A
        0, 1,                      // end of bitmap
    });
    // clang-format on
    TScreenPicture expected(7, 2);
    for (int x = 0; x < 5; ++x)
        expected.At(x, 1) = palette[x % 2 == 0 ? 1 : 2];
    const int top[] = {3, 4, 5, 6, 7, 9, 10};
    for (int x = 0; x < 7; ++x)
        expected.At(x, 0) = palette[static_cast<std::size_t>(top[x])];
    EXPECT_EQ(Decode(BitmapFile(spec)), expected);
}

TEST(BitmapPicture, UndecodableBytesRaise) {
    const auto picture = test::PatternPicture(9, 4, 1);
    const auto good = test::BitmapFileOf(picture);
    ASSERT_EQ(Decode(good), picture);

    EXPECT_EQ(ErrorOf({}), "Invalid bitmap picture: no bitmap file header");
    auto notBm = good;
    notBm[0] = std::byte{'X'};
    EXPECT_EQ(ErrorOf(notBm), "Invalid bitmap picture: no bitmap file header");

    auto truncated = good;
    truncated.resize(truncated.size() - 12); // most of the last stored row
    EXPECT_EQ(ErrorOf(truncated), "Invalid bitmap picture: truncated pixel data");
    auto withoutLastPadding = good;
    withoutLastPadding.pop_back();
    EXPECT_EQ(Decode(withoutLastPadding), picture);

    TBitmapFileSpec twoBitSpec = Spec(2, 1, 2);
    twoBitSpec.Values = {0, 1};
    const auto twoBits = BitmapFile(twoBitSpec);
    EXPECT_EQ(ErrorOf(twoBits), "Invalid bitmap picture: unsupported bit count 2");

    auto embeddedJpeg = good;
    embeddedJpeg[30] = std::byte{4};
    EXPECT_EQ(ErrorOf(embeddedJpeg), "Invalid bitmap picture: unsupported compression 4");

    auto pixelsOutside = good;
    pixelsOutside[10] = std::byte{0xFF};
    pixelsOutside[11] = std::byte{0xFF};
    EXPECT_EQ(ErrorOf(pixelsOutside), "Invalid bitmap picture: pixel data outside the file");
}

void SetSize(std::vector<std::byte>& bytes, std::int32_t width, std::int32_t height) {
    for (int i = 0; i < 4; ++i) {
        bytes[18 + static_cast<std::size_t>(i)] = static_cast<std::byte>(width >> (8 * i));
        bytes[22 + static_cast<std::size_t>(i)] = static_cast<std::byte>(height >> (8 * i));
    }
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

TEST(BitmapPicture, LoadFromStreamReadsFromThePositionAndKeepsThePictureOnFailure) {
    const auto first = test::PatternPicture(6, 3, 1);
    TMemoryStream stream;
    stream.WriteBuffer(test::Bytes(17, 0xEE));
    stream.WriteBuffer(test::BitmapFileOf(first));
    stream.SetPosition(17);
    TBitmapPicture picture;
    picture.LoadFromStream(stream);
    EXPECT_EQ(picture.Image(), first);
    EXPECT_EQ(picture.Width(), 6);
    EXPECT_EQ(picture.Height(), 3);

    stream.SetPosition(0); // the junk in front is no bitmap
    EXPECT_THROW(picture.LoadFromStream(stream), EPicture);
    EXPECT_EQ(picture.Image(), first);
}

TEST(BitmapPicture, CloneIsAnIndependentBitmapPicture) {
    const auto first = test::PatternPicture(5, 5, 1);
    const auto second = test::PatternPicture(3, 2, 2);
    TBitmapPicture picture;
    picture.LoadFromBytes(test::BitmapFileOf(first));
    const std::unique_ptr<TPicture> copy = picture.Clone();
    ASSERT_NE(dynamic_cast<TBitmapPicture*>(copy.get()), nullptr);
    picture.LoadFromBytes(test::BitmapFileOf(second));
    EXPECT_EQ(copy->Image(), first);
    EXPECT_EQ(picture.Image(), second);
}

} // namespace
} // namespace vsr
