#include "recording/JpegPicture.h"
#include "support/Pictures.h"
#include "support/Recordings.h"

#include <gtest/gtest.h>

#include <string>

namespace vsr {
namespace {

std::string ErrorOf(const std::vector<std::byte>& bytes) {
    try {
        TJpegPicture().LoadFromBytes(bytes);
    } catch (const EPicture& error) {
        return error.what();
    }
    return "no error";
}

TEST(JpegPicture, ColourAndGreyscalePicturesDecodeCloseToTheOriginal) {
    // Odd sizes: the last block row and column are partial.
    const auto original = test::SmoothPicture(37, 21);
    TJpegPicture picture;
    picture.LoadFromBytes(test::JpegFileOf(original, 95));
    ASSERT_EQ(picture.Width(), 37);
    ASSERT_EQ(picture.Height(), 21);
    EXPECT_LE(test::MaxChannelDifference(picture.Image(), original), 12);

    picture.LoadFromBytes(test::JpegFileOf(original, 95, test::TJpegColour::Greyscale));
    ASSERT_EQ(picture.Width(), 37);
    for (std::int32_t y = 0; y < 21; ++y)
        for (std::int32_t x = 0; x < 37; ++x) {
            const std::uint32_t pixel = picture.Image().At(x, y);
            const std::uint32_t grey = pixel & 0xFF;
            EXPECT_EQ(pixel, grey << 16 | grey << 8 | grey);
            EXPECT_NEAR(static_cast<int>(grey), static_cast<int>(original.At(x, y) & 0xFF), 8);
        }
}

TEST(JpegPicture, UndecodableBytesRaiseWithLibjpegsReason) {
    EXPECT_EQ(ErrorOf({}), "Invalid JPEG picture: no data");
    const std::string garbage = ErrorOf(test::Bytes(100, 0x42));
    EXPECT_EQ(garbage.rfind("Invalid JPEG picture: Not a JPEG file", 0), 0u) << garbage;
    auto cut = test::JpegFileOf(test::SmoothPicture(8, 8));
    cut.resize(40); // ends inside the headers
    EXPECT_EQ(ErrorOf(cut).rfind("Invalid JPEG picture: ", 0), 0u);
}

// The frame header's size is checked before any pixel memory is taken.
TEST(JpegPicture, HugeSizeInTheFrameHeaderIsRefused) {
    auto bytes = test::JpegFileOf(test::SmoothPicture(8, 8));
    const std::byte sofMarker[] = {std::byte{0xFF}, std::byte{0xC0}};
    const auto sof = std::ranges::search(bytes, sofMarker).begin();
    ASSERT_NE(sof, bytes.end());
    // FF C0, length (2), precision (1), height (2), width (2), big-endian; 0x7530 is 30000.
    sof[5] = sof[7] = std::byte{0x75};
    sof[6] = sof[8] = std::byte{0x30};
    const std::string error = ErrorOf(bytes);
    EXPECT_NE(error.find("too large (30000 x 30000)"), std::string::npos) << error;
}

} // namespace
} // namespace vsr
