#include "recording/ScreenRecorderFileWriter.h"
#include "support/Recordings.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "render/Drawing.h"
#include "support/Pictures.h"
#include "render/TileDecoder.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace vsr {
namespace {

using test::Bytes;
using test::PatternPicture;
using test::WithRect;

// Pictures of 300 x 70: tiles of 256 x 32 leave edge tiles of 44 and of 6 pixels.
std::vector<TTimedPicture> EdgeSequence() {
    const auto p0 = PatternPicture(300, 70, 1);
    const auto p1 = WithRect(p0, 10, 5, 3, 3, 0x123456);     // one tile
    const auto p2 = WithRect(p1, 250, 28, 20, 10, 0xABCDEF); // four tiles
    const auto p4 = PatternPicture(300, 70, 2);              // key frame
    const auto p5 = WithRect(p4, 290, 64, 10, 6, 0x00FF00);  // the corner tile
    return {{0, p0}, {500, p1}, {1200, p2}, {2000, p2}, {10000, p4}, {10300, p5}};
}

TRecordingOverlay SampleOverlay() {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap, Bytes(1000, 0x42)};
    overlay.HeaderDelaySeconds = 5;
    overlay.TrailerDelaySeconds = 7;
    overlay.Link = "http://example.com/after-the-show";
    return overlay;
}

class WriterRoundTripTest : public ::testing::TestWithParam<TTileBitDepth> {};

// Each key frame starts on a transparent canvas, so a missing tile shows.
TEST_P(WriterRoundTripTest, ComposedTilesEqualEveryPicture) {
    test::TTempDir dir;
    TRecordingOptions options;
    options.BitDepth = GetParam();
    const auto pictures = EdgeSequence();
    WriteRecordingFile(dir.File("a.vsr"), {300, 70, pictures, {}, {}, {}}, options);
    TScreenRecorderPlaybackFile reader(dir.File("a.vsr"));
    const auto frames = test::ReadAllFrames(reader);
    // Time, records and picture of each update; the picture at 2000 repeats the one at 1200.
    const std::tuple<std::uint32_t, std::size_t, std::size_t> updates[] = {
        {0, 6, 0}, {500, 1, 1}, {1200, 4, 2}, {10000, 6, 4}, {10300, 1, 5}};
    std::size_t next = 0;
    TBitmap32 canvas(300, 70);
    TTileDecoder decoder;
    for (const auto& [time, records, pictureIndex] : updates) {
        ASSERT_LT(next, frames.size());
        if (next == 0 || frames[next].KeyFrame != frames[next - 1].KeyFrame)
            canvas.Fill(0);
        for (std::size_t i = 0; i < records; ++i, ++next) {
            ASSERT_LT(next, frames.size());
            const test::TReadFrame& frame = frames[next];
            EXPECT_EQ(frame.Time, time) << next;
            TMemoryStream payload;
            payload.WriteBuffer(frame.Payload);
            payload.SetPosition(0);
            const TTileImage* tile = decoder.TileToBitmap(payload);
            ASSERT_NE(tile, nullptr) << next;
            BlitTile(canvas, tile->View(), frame.X, frame.Y);
        }
        const TScreenPicture& expected = pictures[pictureIndex].Picture;
        EXPECT_TRUE(test::SamePicture(canvas.View(), GetParam() == TTileBitDepth::Bits16
                                                         ? test::Expanded555(expected)
                                                         : expected))
            << "at " << time;
    }
    EXPECT_EQ(next, frames.size());
}

INSTANTIATE_TEST_SUITE_P(Depths, WriterRoundTripTest,
                         ::testing::Values(TTileBitDepth::Bits16, TTileBitDepth::Bits24,
                                           TTileBitDepth::Bits32));

TEST(ScreenRecorderFileWriterTest, TilesArePackedBottomUpDibsWithPaddedRows) {
    // 3 pixels of 2 bytes pad to 8 bytes a row; 5-5-5 leaves the top bit clear.
    TScreenPicture picture(3, 2, 0xFFFFFF);
    picture.At(0, 1) = 0x000000; // the bottom row comes first
    const auto payload = EncodeTileDib(picture, {0, 0, 3, 2}, TTileBitDepth::Bits16);
    ASSERT_EQ(payload.size(), 40u + 16u);
    TBitmapInfoHeader info{};
    std::memcpy(&info, payload.data(), sizeof(info));
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biWidth, 3);
    EXPECT_EQ(info.biHeight, 2);
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biBitCount, 16);
    EXPECT_EQ(info.biSizeImage, 16u);
    const std::uint8_t expected[] = {0,    0,    0xFF, 0x7F, 0xFF, 0x7F, 0, 0,
                                     0xFF, 0x7F, 0xFF, 0x7F, 0xFF, 0x7F, 0, 0};
    for (std::size_t i = 0; i < 16; ++i)
        EXPECT_EQ(std::to_integer<std::uint8_t>(payload[40 + i]), expected[i]) << i;
}

// zlib stream [begin, end) of bytes must be exactly one stream of size decompressed bytes.
void ExpectOneStream(const std::vector<std::byte>& bytes, std::int64_t begin, std::int64_t end,
                     std::int64_t size) {
    ASSERT_LT(begin + 1, end);
    EXPECT_EQ(bytes[begin], std::byte{0x78});
    EXPECT_EQ(bytes[begin + 1], std::byte{0x9C});
    std::vector<Bytef> out(static_cast<std::size_t>(size) + 1);
    uLongf outSize = out.size();
    uLong inSize = static_cast<uLong>(end - begin);
    const auto* in = reinterpret_cast<const Bytef*>(bytes.data() + begin);
    EXPECT_EQ(uncompress2(out.data(), &outSize, in, &inSize), Z_OK);
    EXPECT_EQ(static_cast<std::int64_t>(inSize), end - begin) << "gap or overlap after " << begin;
    EXPECT_EQ(static_cast<std::int64_t>(outSize), size);
}

TEST(ScreenRecorderFileWriterTest, SectionsFollowEachOtherAndTheHeaderPointsAtThem) {
    test::TTempDir dir;
    TRecordingOptions options;
    options.StartTickCount = 45602125;
    options.StartDateTime = 39543.5;
    const TRecordingContent content{
        300, 70, EdgeSequence(), {{0, 453, 436}, {40, 3, 4}}, Bytes(555, 7), SampleOverlay()};
    const auto layout = WriteRecordingFile(dir.File("a.vsr"), content, options);
    const auto bytes = test::ReadFileBytes(dir.File("a.vsr"));
    ASSERT_EQ(static_cast<std::int64_t>(bytes.size()), layout.Size);
    ASSERT_EQ(layout.KeyFrames.size(), 2u);
    EXPECT_EQ(layout.KeyFrames[0].Offset, 72);
    ExpectOneStream(bytes, 72, layout.KeyFrames[1].Offset, layout.KeyFrames[0].Size);
    ExpectOneStream(bytes, layout.KeyFrames[1].Offset, layout.KeyFrameIndexOffset,
                    layout.KeyFrames[1].Size);
    ExpectOneStream(bytes, layout.KeyFrameIndexOffset, layout.CursorTrackOffset, 4 + 2 * 32);
    ExpectOneStream(bytes, layout.CursorTrackOffset, layout.AudioOffset, 4 + 2 * 8);
    EXPECT_EQ(layout.OverlayOffset, layout.AudioOffset + 555);
    EXPECT_TRUE(std::equal(content.SoundTrack.begin(), content.SoundTrack.end(),
                           bytes.begin() + layout.AudioOffset));

    TScreenRecorderPlaybackFile reader(dir.File("a.vsr"));
    const TVSRHeader& header = reader.Header();
    EXPECT_EQ(header.StartTickCount, 45602125u);
    EXPECT_EQ(header.StopTickCount, 45602125u + 10300u + 1000u);
    EXPECT_DOUBLE_EQ(header.StartDateTime, 39543.5);
    EXPECT_DOUBLE_EQ(header.StopDateTime, 39543.5 + 11300 / 86400000.0);
    EXPECT_TRUE(std::ranges::all_of(header.Reserved, [](std::byte b) { return b == std::byte{}; }));
    EXPECT_EQ(reader.KeyFrames()[1].Time, 10000u);
    EXPECT_DOUBLE_EQ(reader.KeyFrames()[1].DateTime, 39543.5 + 10000 / 86400000.0);
    EXPECT_EQ(reader.Cursors()[0].X, 453);
    EXPECT_EQ(reader.Cursors()[0].Y, 436);
}

TOverlayHeader OverlayAt(const std::vector<std::byte>& bytes, const TRecordingLayout& layout) {
    TOverlayHeader header{};
    std::memcpy(&header, bytes.data() + layout.OverlayOffset, sizeof(header));
    return header;
}

TEST(ScreenRecorderFileWriterTest, OverlayBlockAndTrailerAreLaidOutAsStored) {
    test::TTempDir dir;
    TRecordingOverlay overlay = SampleOverlay();
    const auto layout = WriteRecordingFile(dir.File("a.vsr"), {8, 8, {}, {}, {}, overlay});
    const auto bytes = test::ReadFileBytes(dir.File("a.vsr"));
    const TOverlayHeader header = OverlayAt(bytes, layout);
    EXPECT_EQ(std::string(header.Magic.data(), 8), std::string("FOVL1.0\0", 8));
    EXPECT_EQ(header.HeaderPictureStart, 72);
    EXPECT_EQ(header.HeaderPictureEnd, 1072);
    EXPECT_EQ(header.TrailerPictureStart, 72); // stored once
    EXPECT_EQ(header.TrailerPictureEnd, 1072);
    EXPECT_EQ(header.LinkStart, 1072);
    EXPECT_EQ(header.LinkEnd, 1072 + 2 + 33);
    EXPECT_EQ(header.HeaderDelay, 5);
    EXPECT_EQ(header.TrailerDelay, 7);
    EXPECT_EQ(header.HeaderPictureType, 1);
    const std::byte* block = bytes.data() + layout.OverlayOffset;
    EXPECT_EQ(block[72], std::byte{0x42});
    EXPECT_EQ(block[1072], std::byte{33}); // 16-bit length, then the characters
    EXPECT_EQ(block[1073], std::byte{0});
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(block + 1074), 33), overlay.Link);
    TOverlayTrailer trailer{};
    std::memcpy(&trailer, bytes.data() + bytes.size() - 32, sizeof(trailer));
    EXPECT_EQ(std::string(trailer.Magic.data(), 16), std::string("VSROVL1.0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(trailer.OverlayOffset, layout.OverlayOffset);
    EXPECT_EQ(trailer.OverlayEnd, layout.Size - 32);

    // A separate trailer picture never starts where the header picture does, even without one.
    overlay.HeaderPicture = {};
    overlay.TrailerPicture = TOverlayPicture{TOverlayPictureType::Jpeg, Bytes(300, 0x55)};
    const auto second = WriteRecordingFile(dir.File("b.vsr"), {8, 8, {}, {}, {}, overlay});
    const TOverlayHeader secondHeader = OverlayAt(test::ReadFileBytes(dir.File("b.vsr")), second);
    EXPECT_NE(secondHeader.TrailerPictureStart, secondHeader.HeaderPictureStart);
    EXPECT_EQ(secondHeader.TrailerPictureEnd - secondHeader.TrailerPictureStart, 300);
    EXPECT_EQ(secondHeader.TrailerPictureType, 2);
}

} // namespace
} // namespace vsr
