#include "PictureFixtures.h"
#include "RecordingTestSupport.h"
#include "recording/PictureFactory.h"
#include "recording/VSRRecords.h"

#include <gtest/gtest.h>

#include <random>

namespace vsr {
namespace {

struct TOutcome {
    int Decoded = 0;
    int Refused = 0;
};

// Damaged picture files must either decode or raise EPicture; under the sanitizers this also
// checks that no damage makes a decoder read or write outside its buffers.
void Decode(TOverlayPictureType type, const std::vector<std::byte>& bytes, TOutcome& outcome) {
    const auto picture = CreatePicture(static_cast<std::uint8_t>(type));
    ASSERT_NE(picture, nullptr);
    try {
        picture->LoadFromBytes(bytes);
        EXPECT_EQ(picture->Image().Pixels.size(),
                  static_cast<std::size_t>(picture->Width()) * picture->Height());
        ++outcome.Decoded;
    } catch (const EPicture&) {
        ++outcome.Refused;
    }
}

std::vector<std::pair<TOverlayPictureType, std::vector<std::byte>>> Samples() {
    test::TBitmapFileSpec paletted;
    paletted.Width = 9;
    paletted.Height = 5;
    paletted.BitCount = 4;
    for (std::uint32_t i = 0; i < 16; ++i)
        paletted.Palette.push_back(i * 0x0F0F0F);
    for (std::uint32_t i = 0; i < 45; ++i)
        paletted.Values.push_back(i % 16);

    test::TBitmapFileSpec rle = paletted;
    rle.BitCount = 8;
    rle.Compression = 1;
    rle.ClrUsed = 16;
    rle.Encoded = {std::byte{4}, std::byte{3}, std::byte{0}, std::byte{3},
                   std::byte{1}, std::byte{2}, std::byte{3}, std::byte{0},
                   std::byte{0}, std::byte{0}, std::byte{0}, std::byte{2},
                   std::byte{1}, std::byte{1}, std::byte{0}, std::byte{1}};

    test::TGifImageSpec image;
    image.Width = 9;
    image.Height = 9;
    image.Interlaced = true;
    image.TransparentIndex = 1;
    for (int i = 0; i < 81; ++i)
        image.Indices.push_back(static_cast<std::uint8_t>(i % 4));
    test::TGifFileSpec gif;
    gif.ScreenWidth = 9;
    gif.ScreenHeight = 9;
    gif.GlobalPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    gif.Images = {image};

    return {{TOverlayPictureType::Bitmap, test::BitmapFileOf(test::PatternPicture(7, 4, 1))},
            {TOverlayPictureType::Bitmap, test::BitmapFile(paletted)},
            {TOverlayPictureType::Bitmap, test::BitmapFile(rle)},
            {TOverlayPictureType::Jpeg, test::JpegFileOf(test::SmoothPicture(24, 16))},
            {TOverlayPictureType::Gif, test::GifFile(gif)}};
}

TEST(PictureMutation, EveryTruncationDecodesOrRaises) {
    for (const auto& [type, bytes] : Samples()) {
        TOutcome outcome;
        for (std::size_t length = 0; length < bytes.size(); ++length)
            Decode(type, std::vector<std::byte>(bytes.begin(), bytes.begin() + length), outcome);
        EXPECT_GT(outcome.Refused, 0) << static_cast<int>(type);
    }
}

TEST(PictureMutation, DamagedBytesDecodeOrRaise) {
    std::mt19937 random(20240601);
    for (const auto& [type, bytes] : Samples()) {
        TOutcome outcome;
        for (int round = 0; round < 400; ++round) {
            auto damaged = bytes;
            const int changes = 1 + round % 4;
            for (int i = 0; i < changes; ++i)
                damaged[random() % damaged.size()] = static_cast<std::byte>(random() & 0xFF);
            Decode(type, damaged, outcome);
        }
        EXPECT_EQ(outcome.Decoded + outcome.Refused, 400);
        EXPECT_GT(outcome.Decoded, 0) << static_cast<int>(type);
    }
}

} // namespace
} // namespace vsr
