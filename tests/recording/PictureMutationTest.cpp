// What every picture class shares: loading from a stream position, independent copies, and
// damaged files that decode or raise EPicture. Under the sanitizers this also checks that no
// damage makes a decoder read or write outside its buffers.

#include "support/Pictures.h"
#include "support/Recordings.h"
#include "recording/PictureFactory.h"
#include "recording/VSRRecords.h"

#include <gtest/gtest.h>

#include <random>
#include <typeinfo>

namespace vsr {
namespace {

struct TSample {
    TOverlayPictureType Type;
    std::vector<std::byte> Bytes;
};

std::vector<TSample> Samples() {
    test::TBitmapFileSpec rle;
    rle.Width = 9;
    rle.Height = 5;
    for (std::uint32_t i = 0; i < 16; ++i)
        rle.Palette.push_back(i * 0x0F0F0F);
    rle.BitCount = 8;
    rle.Compression = 1;
    rle.ClrUsed = 16;
    for (int value : {4, 3, 0, 3, 1, 2, 3, 0, 0, 0, 0, 2, 1, 1, 0, 1})
        rle.Encoded.push_back(static_cast<std::byte>(value));

    test::TGifImageSpec image{0, 0, 9, 9, true, 1, {}, {}};
    for (int i = 0; i < 81; ++i)
        image.Indices.push_back(static_cast<std::uint8_t>(i % 4));

    return {{TOverlayPictureType::Bitmap, test::BitmapFileOf(test::PatternPicture(7, 4, 1))},
            {TOverlayPictureType::Bitmap, test::BitmapFile(rle)},
            {TOverlayPictureType::Jpeg, test::JpegFileOf(test::SmoothPicture(24, 16))},
            {TOverlayPictureType::Gif,
             test::GifFile({9, 9, 0, {0x000000, 0xFF0000, 0x00FF00, 0x0000FF}, {image}})}};
}

std::unique_ptr<TPicture> Create(TOverlayPictureType type) {
    auto picture = CreatePicture(static_cast<std::uint8_t>(type));
    if (!picture)
        throw std::logic_error("no picture class");
    return picture;
}

// Decodes or raises EPicture; true when it decoded.
bool DecodesOrRaises(TOverlayPictureType type, std::span<const std::byte> bytes) {
    const auto picture = Create(type);
    try {
        picture->LoadFromBytes(bytes);
    } catch (const EPicture&) {
        return false;
    }
    EXPECT_EQ(picture->Image().Pixels.size(),
              static_cast<std::size_t>(picture->Width()) * picture->Height());
    return true;
}

TEST(PictureMutation, EveryTruncationDecodesOrRaises) {
    for (const auto& [type, bytes] : Samples()) {
        int refused = 0;
        for (std::size_t length = 0; length < bytes.size(); ++length)
            refused += !DecodesOrRaises(type, std::span(bytes).first(length));
        EXPECT_GT(refused, 0) << static_cast<int>(type);
    }
}

TEST(PictureMutation, DamagedBytesDecodeOrRaise) {
    std::mt19937 random(20240601);
    for (const auto& [type, bytes] : Samples()) {
        int decoded = 0;
        for (int round = 0; round < 400; ++round) {
            auto damaged = bytes;
            for (int i = 0; i <= round % 4; ++i)
                damaged[random() % damaged.size()] = static_cast<std::byte>(random() & 0xFF);
            decoded += DecodesOrRaises(type, damaged);
        }
        EXPECT_GT(decoded, 0) << static_cast<int>(type);
    }
}

TEST(PictureMutation, CopiesAreIndependentAndStreamsReadFromTheirPosition) {
    const auto samples = Samples();
    // One sample of each class, and another picture of that class.
    const std::pair<std::size_t, std::vector<std::byte>> cases[] = {
        {0, samples[1].Bytes},
        {2, test::JpegFileOf(test::SmoothPicture(3, 5))},
        {3, test::GifFile({2, 2, 0, {0, 0xFFFFFF}, {{0, 0, 2, 2, false, -1, {}, {0, 1, 1, 0}}}})}};
    for (const auto& [index, other] : cases) {
        const auto& [type, bytes] = samples[index];
        SCOPED_TRACE(static_cast<int>(type));
        TMemoryStream stream;
        stream.WriteBuffer(test::Bytes(17, 0xEE));
        stream.WriteBuffer(bytes);
        stream.SetPosition(17);
        const auto picture = Create(type);
        picture->LoadFromStream(stream);
        const TScreenPicture first = picture->Image();
        ASSERT_FALSE(first.Pixels.empty());
        stream.SetPosition(0); // the junk in front is no picture: the old one stays
        EXPECT_THROW(picture->LoadFromStream(stream), EPicture);
        EXPECT_EQ(picture->Image(), first);

        const std::unique_ptr<TPicture> copy = picture->Clone();
        EXPECT_EQ(typeid(*copy), typeid(*picture));
        picture->LoadFromBytes(other);
        EXPECT_NE(picture->Image(), first);
        EXPECT_EQ(copy->Image(), first);
    }
}

} // namespace
} // namespace vsr
