#include "recording/GifPicture.h"
#include "PictureFixtures.h"
#include "RecordingTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace vsr {
namespace {

using test::TGifFileSpec;
using test::TGifImageSpec;

const std::vector<std::uint32_t> Colours = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF,
                                            0x123456, 0xABCDEF, 0x808080, 0xFEDCBA};

TScreenPicture Decode(const std::vector<std::byte>& bytes) {
    TGifPicture picture;
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

TGifFileSpec Gif(std::int32_t width, std::int32_t height, std::vector<std::uint32_t> palette,
                 std::vector<TGifImageSpec> images) {
    TGifFileSpec spec;
    spec.ScreenWidth = width;
    spec.ScreenHeight = height;
    spec.GlobalPalette = std::move(palette);
    spec.Images = std::move(images);
    return spec;
}

// Indices that differ from row to row, so that a misplaced row shows.
TGifImageSpec Image(std::int32_t width, std::int32_t height) {
    TGifImageSpec image;
    image.Width = width;
    image.Height = height;
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x)
            image.Indices.push_back(static_cast<std::uint8_t>((x + 3 * y) % 8));
    return image;
}

TScreenPicture Expected(const TGifImageSpec& image, const std::vector<std::uint32_t>& palette) {
    TScreenPicture picture(image.Width, image.Height);
    for (std::size_t i = 0; i < image.Indices.size(); ++i)
        picture.Pixels[i] = palette[image.Indices[i]];
    return picture;
}

TEST(GifPicture, PlainAndInterlacedImages) {
    for (const bool interlaced : {false, true}) {
        TGifImageSpec image = Image(5, 19); // 19 rows: every pass has rows, the last ones short
        image.Interlaced = interlaced;
        const TGifFileSpec spec = Gif(5, 19, Colours, {image});
        EXPECT_EQ(Decode(test::GifFile(spec)), Expected(image, Colours))
            << "interlaced " << interlaced;
    }
}

TEST(GifPicture, TransparentPixelsAreWhite) {
    TGifImageSpec image = Image(6, 4);
    image.TransparentIndex = 2;
    TGifFileSpec spec = Gif(6, 4, Colours, {image});
    spec.BackgroundIndex = 1; // red: not what transparent pixels show
    TScreenPicture expected = Expected(image, Colours);
    int transparent = 0;
    for (std::size_t i = 0; i < image.Indices.size(); ++i)
        if (image.Indices[i] == 2) {
            expected.Pixels[i] = 0xFFFFFF;
            ++transparent;
        }
    ASSERT_GT(transparent, 0);
    EXPECT_EQ(Decode(test::GifFile(spec)), expected);
}

TEST(GifPicture, ImageSmallerThanTheScreenSitsAtItsPlaceOnWhite) {
    TGifImageSpec image = Image(3, 2);
    image.Left = 4;
    image.Top = 1;
    image.LocalPalette = {0x111111, 0x222222, 0x333333, 0x444444,
                          0x555555, 0x666666, 0x777777, 0x888888};
    const TGifFileSpec spec = Gif(9, 5, Colours, {image});
    TScreenPicture expected(9, 5, 0xFFFFFF);
    for (std::int32_t y = 0; y < 2; ++y)
        for (std::int32_t x = 0; x < 3; ++x)
            expected.At(4 + x, 1 + y) =
                image.LocalPalette[image.Indices[static_cast<std::size_t>(y) * 3 + x]];
    EXPECT_EQ(Decode(test::GifFile(spec)), expected);
}

TEST(GifPicture, OnlyTheFirstFrameIsShown) {
    TGifImageSpec first = Image(4, 4);
    TGifImageSpec second = Image(4, 4);
    for (auto& index : second.Indices)
        index = 5;
    const TGifFileSpec spec = Gif(4, 4, Colours, {first, second});
    EXPECT_EQ(Decode(test::GifFile(spec)), Expected(first, Colours));
}

TEST(GifPicture, UndecodableBytesRaise) {
    EXPECT_EQ(ErrorOf({}).rfind("Invalid GIF picture: ", 0), 0u);
    EXPECT_EQ(ErrorOf(test::Bytes(64, 0x47)).rfind("Invalid GIF picture: ", 0), 0u);

    const TGifFileSpec noImage = Gif(4, 4, Colours, {});
    EXPECT_EQ(ErrorOf(test::GifFile(noImage)), "Invalid GIF picture: no image");

    // The encoder insists on a colour table: take the global one out of the file.
    auto noColours = test::GifFile(Gif(4, 4, Colours, {Image(4, 4)}));
    ASSERT_EQ(noColours[10] & std::byte{0x87}, std::byte{0x82}); // a table of 8 entries
    noColours[10] &= std::byte{0x7F};
    noColours.erase(noColours.begin() + 13, noColours.begin() + 13 + 3 * 8);
    EXPECT_EQ(ErrorOf(noColours), "Invalid GIF picture: no colour table");

    const TGifFileSpec whole = Gif(40, 40, Colours, {Image(40, 40)});
    auto truncated = test::GifFile(whole);
    truncated.resize(truncated.size() / 2); // inside the image data
    EXPECT_EQ(ErrorOf(truncated).rfind("Invalid GIF picture: ", 0), 0u);
}

TEST(GifPicture, HugeScreenIsRefusedBeforeDecoding) {
    const TGifFileSpec spec = Gif(30000, 30000, Colours, {Image(2, 2)});
    const std::string error = ErrorOf(test::GifFile(spec));
    EXPECT_NE(error.find("too large (30000 x 30000)"), std::string::npos) << error;
}

TEST(GifPicture, CloneIsAnIndependentGifPicture) {
    const TGifFileSpec one = Gif(4, 3, Colours, {Image(4, 3)});
    const TGifFileSpec two = Gif(2, 2, Colours, {Image(2, 2)});
    TGifPicture picture;
    picture.LoadFromBytes(test::GifFile(one));
    const std::unique_ptr<TPicture> copy = picture.Clone();
    ASSERT_NE(dynamic_cast<TGifPicture*>(copy.get()), nullptr);
    picture.LoadFromBytes(test::GifFile(two));
    EXPECT_EQ(copy->Image(), Expected(Image(4, 3), Colours));
    EXPECT_EQ(picture.Width(), 2);
}

} // namespace
} // namespace vsr
