#include "recording/ScreenRecorderFileWriter.h"
#include "RecordingTestSupport.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace vsr {
namespace {

using test::Bytes;
using test::PatternPicture;
using test::WithRect;

constexpr std::uint32_t Unset = 0xFF000000; // no decoded pixel has a top byte

// Pictures of 300 x 70: tiles of 256 x 32 leave edge tiles of 44 and of 6 pixels.
std::vector<TTimedPicture> EdgeSequence() {
    const auto p0 = PatternPicture(300, 70, 1);
    const auto p1 = WithRect(p0, 10, 5, 3, 3, 0x123456);     // one tile
    const auto p2 = WithRect(p1, 250, 28, 20, 10, 0xABCDEF); // four tiles
    const auto p4 = PatternPicture(300, 70, 2);              // key frame
    const auto p5 = WithRect(p4, 290, 64, 10, 6, 0x00FF00);  // the corner tile
    return {{0, p0}, {500, p1}, {1200, p2}, {2000, p2}, {10000, p4}, {10300, p5}};
}

struct TUpdate {
    std::uint32_t Time;
    std::size_t Records;
    TScreenPicture Picture;
};

// Composes the frames; each key frame starts on an unset canvas, so a missing tile shows.
std::vector<TUpdate> Compose(const std::vector<test::TReadFrame>& frames, std::int32_t width,
                             std::int32_t height) {
    std::vector<TUpdate> updates;
    TScreenPicture canvas;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto& frame = frames[i];
        const bool newKeyFrame = i == 0 || frame.KeyFrame != frames[i - 1].KeyFrame;
        if (newKeyFrame)
            canvas = TScreenPicture(width, height, Unset);
        if (newKeyFrame || frame.Time != frames[i - 1].Time)
            updates.push_back({frame.Time, 0, {}});
        EXPECT_TRUE(test::BlitTileDib(frame.Payload, frame.X, frame.Y, canvas)) << i;
        updates.back().Records++;
        updates.back().Picture = canvas;
    }
    return updates;
}

class WriterRoundTripTest : public ::testing::TestWithParam<TTileBitDepth> {};

TEST_P(WriterRoundTripTest, ComposedTilesEqualEveryPicture) {
    test::TTempDir dir;
    TRecordingOptions options;
    options.BitDepth = GetParam();
    TRecordingContent content{300, 70, EdgeSequence(), {}, {}, {}};
    WriteRecordingFile(dir.File("a.vsr"), content, options);

    TScreenRecorderPlaybackFile reader(dir.File("a.vsr"));
    const auto updates = Compose(test::ReadAllFrames(reader), 300, 70);
    const std::vector<std::uint32_t> times{0, 500, 1200, 10000, 10300};
    const std::vector<std::size_t> records{6, 1, 4, 6, 1};
    const std::vector<std::size_t> pictureOf{0, 1, 2, 4, 5};
    ASSERT_EQ(updates.size(), times.size());
    for (std::size_t i = 0; i < updates.size(); ++i) {
        EXPECT_EQ(updates[i].Time, times[i]);
        EXPECT_EQ(updates[i].Records, records[i]) << "update " << i;
        TScreenPicture expected = content.Pictures[pictureOf[i]].Picture;
        if (GetParam() == TTileBitDepth::Bits16)
            expected = test::Quantized555(expected);
        EXPECT_TRUE(updates[i].Picture == expected) << "update " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, WriterRoundTripTest,
                         ::testing::Values(TTileBitDepth::Bits16, TTileBitDepth::Bits24,
                                           TTileBitDepth::Bits32));

TEST(ScreenRecorderFileWriterTest, TilesAreRasterOrderedPackedDibsWithTheirOwnSizes) {
    test::TTempDir dir;
    TRecordingOptions options;
    options.BitDepth = TTileBitDepth::Bits24;
    WriteRecordingFile(dir.File("a.vsr"), {300, 70, EdgeSequence(), {}, {}, {}}, options);
    TScreenRecorderPlaybackFile reader(dir.File("a.vsr"));
    const auto frames = test::ReadAllFrames(reader);
    ASSERT_GE(frames.size(), 6u);
    const std::int32_t xs[] = {0, 256, 0, 256, 0, 256}, ys[] = {0, 0, 32, 32, 64, 64};
    const std::int32_t widths[] = {256, 44, 256, 44, 256, 44}, heights[] = {32, 32, 32, 32, 6, 6};
    for (std::size_t i = 0; i < 6; ++i) {
        EXPECT_EQ(frames[i].X, xs[i]);
        EXPECT_EQ(frames[i].Y, ys[i]);
        EXPECT_EQ(test::TileSize(frames[i].Payload), std::make_pair(widths[i], heights[i]));
    }
    // 44 pixels of 3 bytes are 132 bytes, already a multiple of 4; 6 rows.
    EXPECT_EQ(frames[5].Payload.size(), 40u + 132u * 6u);
    TBitmapInfoHeader info{};
    std::memcpy(&info, frames[0].Payload.data(), sizeof(info));
    EXPECT_EQ(info.biSize, 40u);
    EXPECT_EQ(info.biPlanes, 1);
    EXPECT_EQ(info.biSizeImage, 256u * 3u * 32u);
}

TEST(ScreenRecorderFileWriterTest, SixteenBitRowsArePaddedAndTopBitStaysClear) {
    // 3 pixels of 2 bytes pad to 8 bytes a row.
    const auto payload =
        EncodeTileDib(TScreenPicture(3, 2, 0xFFFFFF), {0, 0, 3, 2}, TTileBitDepth::Bits16);
    ASSERT_EQ(payload.size(), 40u + 16u);
    EXPECT_EQ(payload[40], std::byte{0xFF});
    EXPECT_EQ(payload[41], std::byte{0x7F});
    EXPECT_EQ(payload[46], std::byte{0});
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
    const int result = uncompress2(out.data(), &outSize,
                                   reinterpret_cast<const Bytef*>(bytes.data() + begin), &inSize);
    EXPECT_EQ(result, Z_OK);
    EXPECT_EQ(static_cast<std::int64_t>(inSize), end - begin) << "gap or overlap after " << begin;
    EXPECT_EQ(static_cast<std::int64_t>(outSize), size);
}

TRecordingOverlay SampleOverlay() {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap, Bytes(1000, 0x42)};
    overlay.HeaderDelaySeconds = 5;
    overlay.TrailerDelaySeconds = 7;
    overlay.Link = "http://example.com/after-the-show";
    return overlay;
}

TEST(ScreenRecorderFileWriterTest, SectionsFollowEachOtherWithoutGaps) {
    test::TTempDir dir;
    TRecordingContent content{
        300, 70, EdgeSequence(), {{0, 1, 2}, {40, 3, 4}}, Bytes(555, 7), SampleOverlay()};
    const auto layout = WriteRecordingFile(dir.File("a.vsr"), content);
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
    EXPECT_EQ(layout.OverlayTrailerOffset, layout.Size - 32);
    EXPECT_EQ(layout.OverlayTrailerOffset - layout.OverlayOffset, 72 + 1000 + 2 + 33);
}

TEST(ScreenRecorderFileWriterTest, HeaderAndIndexCarryTimesOffsetsAndDates) {
    test::TTempDir dir;
    TRecordingOptions options;
    options.StartTickCount = 45602125;
    options.StartDateTime = 39543.5;
    TRecordingContent content{300, 70, EdgeSequence(), {{0, 453, 436}}, Bytes(10, 1), {}};
    const auto layout = WriteRecordingFile(dir.File("a.vsr"), content, options);
    TScreenRecorderPlaybackFile reader(dir.File("a.vsr"));
    const TVSRHeader& header = reader.Header();
    EXPECT_EQ(header.StartTickCount, 45602125u);
    EXPECT_EQ(header.StopTickCount, 45602125u + 10300u + 1000u);
    EXPECT_DOUBLE_EQ(header.StartDateTime, 39543.5);
    EXPECT_DOUBLE_EQ(header.StopDateTime, 39543.5 + 11300 / 86400000.0);
    EXPECT_EQ(header.Width, 300);
    EXPECT_EQ(header.Height, 70);
    EXPECT_EQ(header.AudioOffset, layout.AudioOffset);
    EXPECT_EQ(header.KeyFrameIndexOffset, layout.KeyFrameIndexOffset);
    EXPECT_EQ(header.CursorTrackOffset, layout.CursorTrackOffset);
    EXPECT_TRUE(std::all_of(header.Reserved.begin(), header.Reserved.end(),
                            [](std::byte b) { return b == std::byte{0}; }));
    ASSERT_EQ(reader.KeyFrames().Count(), 2u);
    EXPECT_EQ(reader.KeyFrames()[0].Time, 0u);
    EXPECT_EQ(reader.KeyFrames()[1].Time, 10000u);
    EXPECT_DOUBLE_EQ(reader.KeyFrames()[1].DateTime, 39543.5 + 10000 / 86400000.0);
    ASSERT_EQ(reader.Cursors().Count(), 1u);
    EXPECT_EQ(reader.Cursors()[0].X, 453);
    EXPECT_EQ(reader.Cursors()[0].Y, 436);
}

TEST(ScreenRecorderFileWriterTest, DurationAndFirstEntryQuirkAreOptions) {
    test::TTempDir dir;
    TRecordingOptions options;
    options.Duration = 60000;
    options.StopDateTime = 40000.25;
    options.FirstEntryTime = TFirstEntryTime::StartTickCount;
    WriteRecordingFile(dir.File("a.vsr"), {300, 70, EdgeSequence(), {}, {}, {}}, options);
    TScreenRecorderPlaybackFile reader(dir.File("a.vsr"));
    EXPECT_EQ(reader.Header().StopTickCount, 1000u + 60000u);
    EXPECT_DOUBLE_EQ(reader.Header().StopDateTime, 40000.25);
    EXPECT_EQ(reader.KeyFrames()[0].Time, 1000u);
    EXPECT_EQ(reader.KeyFrames()[1].Time, 10000u);
}

TEST(ScreenRecorderFileWriterTest, KeyFramesFollowTheIntervalOrTheCaller) {
    TMemoryStream stream;
    TRecordingOptions options;
    options.KeyFrameInterval = 3000;
    TScreenRecorderFileWriter writer(stream, 20, 10, options);
    for (std::uint32_t t = 0; t <= 7000; t += 1000)
        writer.AddPicture(t, PatternPicture(20, 10, t));
    writer.AddPicture(7500, PatternPicture(20, 10, 1), TKeyFrameChoice::Always);
    const auto layout = writer.Finish({});
    ASSERT_EQ(layout.KeyFrames.size(), 4u);
    EXPECT_EQ(layout.KeyFrames[1].Time, 3000u);
    EXPECT_EQ(layout.KeyFrames[2].Time, 6000u);
    EXPECT_EQ(layout.KeyFrames[3].Time, 7500u);
    EXPECT_EQ(layout.OverlayOffset, -1);
    EXPECT_EQ(layout.Size, stream.Size()); // no overlay: the recording ends with its sound
}

TEST(ScreenRecorderFileWriterTest, OffsetsCountFromTheRecordingsFirstByte) {
    test::TTempDir dir;
    TMemoryStream stream;
    stream.WriteBuffer(Bytes(100, 0xEE)); // e.g. a player executable before the recording
    TScreenRecorderFileWriter writer(stream, 300, 70);
    for (const auto& picture : EdgeSequence())
        writer.AddPicture(picture.Time, picture.Picture);
    const auto layout = writer.Finish(Bytes(8, 3), SampleOverlay());
    EXPECT_EQ(stream.Size(), 100 + layout.Size);
    EXPECT_EQ(layout.KeyFrames[0].Offset, 72);
    test::WriteFileBytes(dir.File("a.vsr"), stream.Memory().subspan(100));
    TScreenRecorderPlaybackFile reader(dir.File("a.vsr"));
    EXPECT_EQ(test::ReadAllFrames(reader).size(), 18u);
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
    EXPECT_TRUE(HasOverlayMagic(header));
    EXPECT_EQ(header.Magic[7], '\0');
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
}

TEST(ScreenRecorderFileWriterTest, SeparateTrailerPictureNeverLooksLikeTheHeaderPicture) {
    test::TTempDir dir;
    TRecordingOverlay overlay = SampleOverlay();
    overlay.Link.clear();
    overlay.TrailerPicture = TOverlayPicture{TOverlayPictureType::Jpeg, Bytes(300, 0x55)};
    auto layout = WriteRecordingFile(dir.File("a.vsr"), {8, 8, {}, {}, {}, overlay});
    auto header = OverlayAt(test::ReadFileBytes(dir.File("a.vsr")), layout);
    EXPECT_EQ(header.TrailerPictureStart, 1072);
    EXPECT_EQ(header.TrailerPictureEnd, 1372);
    EXPECT_EQ(header.TrailerPictureType, 2);
    EXPECT_EQ(header.LinkStart, header.LinkEnd); // no link
    EXPECT_EQ(layout.OverlayTrailerOffset - layout.OverlayOffset, 1372);

    overlay.HeaderPicture = {};
    layout = WriteRecordingFile(dir.File("b.vsr"), {8, 8, {}, {}, {}, overlay});
    const auto bytes = test::ReadFileBytes(dir.File("b.vsr"));
    header = OverlayAt(bytes, layout);
    EXPECT_NE(header.TrailerPictureStart, header.HeaderPictureStart);
    EXPECT_EQ(header.HeaderPictureStart, header.HeaderPictureEnd);
    EXPECT_EQ(header.TrailerPictureEnd - header.TrailerPictureStart, 300);
    EXPECT_EQ(bytes[layout.OverlayOffset + header.TrailerPictureStart], std::byte{0x55});
}

TEST(ScreenRecorderFileWriterTest, RefusesWhatCannotBeStored) {
    TMemoryStream stream;
    EXPECT_THROW(TScreenRecorderFileWriter(stream, 0, 10), Exception);
    TScreenRecorderFileWriter writer(stream, 20, 10);
    EXPECT_THROW(writer.AddRecord({0, 0, 0, 0}, {}), Exception);
    EXPECT_THROW(writer.AddPicture(0, PatternPicture(21, 10, 0)), Exception);
    writer.AddPicture(100, PatternPicture(20, 10, 0));
    EXPECT_THROW(writer.AddPicture(99, PatternPicture(20, 10, 0)), Exception);
    TRecordingOverlay overlay;
    overlay.Link.assign(70000, 'a');
    EXPECT_THROW(writer.Finish({}, overlay), Exception);
    EXPECT_THROW(writer.Finish({}), Exception);
}

} // namespace
} // namespace vsr
