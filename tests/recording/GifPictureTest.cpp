#include "recording/GifPicture.h"
#include "support/Pictures.h"
#include "support/Recordings.h"

#include <gtest/gtest.h>

#include <string>

namespace vsr {
namespace {

using test::TGifFileSpec;
using test::TGifImageSpec;

const std::vector<std::uint32_t> Colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                            0x123456, 0xABCDEF, 0x808080, 0xFEDCBA};

TScreenPicture Decode(const TGifFileSpec& spec) {
    TGifPicture picture;
    picture.LoadFromBytes(test::GifFile(spec));
    return picture.Image();
}

std::string ErrorOf(const std::vector<std::byte>& bytes) {
    try {
        TGifPicture().LoadFromBytes(bytes);
    } catch (const EPicture& error) {
        return error.what();
    }
    return "no error";
}

// Indices that differ from row to row, so that a misplaced row shows.
TGifImageSpec Image(std::int32_t width, std::int32_t height) {
    TGifImageSpec image{0, 0, width, height, false, -1, {}, {}};
    for (std::int32_t i = 0; i < width * height; ++i)
        image.Indices.push_back(static_cast<std::uint8_t>((i % width + 3 * (i / width)) % 8));
    return image;
}

TScreenPicture Expected(const TGifImageSpec& image, const std::vector<std::uint32_t>& palette) {
    TScreenPicture picture(image.Width, image.Height);
    for (std::size_t i = 0; i < image.Indices.size(); ++i)
        picture.Pixels[i] = palette[image.Indices[i]];
    return picture;
}

TEST(GifPicture, PlainAndInterlacedImagesOnlyTheFirstFrame) {
    TGifImageSpec second = Image(5, 19);
    std::ranges::fill(second.Indices, 5);
    for (const bool interlaced : {false, true}) {
        TGifImageSpec image = Image(5, 19); // 19 rows: every pass has rows, the last ones short
        image.Interlaced = interlaced;
        EXPECT_EQ(Decode({5, 19, 0, Colours, {image, second}}), Expected(image, Colours))
            << "interlaced " << interlaced;
    }
}

TEST(GifPicture, TransparentPixelsAndTheRestOfTheScreenAreWhite) {
    TGifImageSpec image = Image(3, 2);
    image.Left = 4;
    image.Top = 1;
    image.TransparentIndex = 3;
    image.LocalPalette = {0x111111, 0x222222, 0x333333, 0x444444,
                          0x555555, 0x666666, 0x777777, 0x888888};
    // Background red: not what transparent pixels or the screen around the image show.
    TScreenPicture expected(9, 5, 0xFFFFFF);
    int transparent = 0;
    for (std::int32_t y = 0; y < 2; ++y)
        for (std::int32_t x = 0; x < 3; ++x) {
            const std::uint8_t index = image.Indices[static_cast<std::size_t>(y) * 3 + x];
            transparent += index == 3;
            if (index != 3)
                expected.At(4 + x, 1 + y) = image.LocalPalette[index];
        }
    ASSERT_GT(transparent, 0);
    EXPECT_EQ(Decode({9, 5, 1, Colours, {image}}), expected);
}

TEST(GifPicture, UndecodableBytesRaise) {
    const std::string prefix = "Invalid GIF picture: ";
    EXPECT_EQ(ErrorOf({}).rfind(prefix, 0), 0u);
    EXPECT_EQ(ErrorOf(test::Bytes(64, 0x47)).rfind(prefix, 0), 0u);
    EXPECT_EQ(ErrorOf(test::GifFile({4, 4, 0, Colours, {}})), prefix + "no image");

    // The encoder insists on a colour table: take the global one out of the file.
    auto noColours = test::GifFile({4, 4, 0, Colours, {Image(4, 4)}});
    ASSERT_EQ(noColours[10] & std::byte{0x87}, std::byte{0x82}); // a table of 8 entries
    noColours[10] &= std::byte{0x7F};
    noColours.erase(noColours.begin() + 13, noColours.begin() + 13 + 3 * 8);
    EXPECT_EQ(ErrorOf(noColours), prefix + "no colour table");

    auto truncated = test::GifFile({40, 40, 0, Colours, {Image(40, 40)}});
    truncated.resize(truncated.size() / 2); // inside the image data
    EXPECT_EQ(ErrorOf(truncated).rfind(prefix, 0), 0u);

    // A huge screen is refused before decoding.
    const std::string huge = ErrorOf(test::GifFile({30000, 30000, 0, Colours, {Image(2, 2)}}));
    EXPECT_NE(huge.find("too large (30000 x 30000)"), std::string::npos) << huge;
}

} // namespace
} // namespace vsr
