// Damaged recordings: the reader neither reads nor writes outside its memory, never allocates
// for sizes the data does not back, and never hangs; it refuses or stops as documented.

#include "support/Recordings.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

using test::Bytes;

constexpr std::size_t ReadLimit = 10000;

class DamagedRecordingTest : public ::testing::Test {
protected:
    std::string File() const { return FDir.File("d.vsr"); }

    // Segment 0: a good record, the damaged head, a good record; segment 1: one good record.
    TRecordingLayout WriteWithHead(const TFrameRecord& damaged, std::size_t payloadBytes) {
        TFileStream file(File(), TFileMode::Create);
        TScreenRecorderFileWriter writer(file, 16, 8);
        writer.BeginKeyFrame(0);
        writer.AddRecord({0, 0, 0, 4}, Bytes(4, 1));
        writer.AddRecord(damaged, Bytes(payloadBytes, 2));
        writer.AddRecord({200, 0, 0, 4}, Bytes(4, 3));
        writer.BeginKeyFrame(10000);
        writer.AddRecord({10000, 8, 0, 4}, Bytes(4, 4));
        return writer.Finish({});
    }
    TRecordingLayout WriteGood() { return WriteWithHead({100, 0, 0, 4}, 4); }

    void ExpectRefused(const char* what) {
        try {
            TScreenRecorderPlaybackFile reader(File());
            ADD_FAILURE() << "a damaged recording was opened: " << what;
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), std::string(sInvalidSRFile)) << what;
        }
    }

    test::TTempDir FDir;
};

// The damaged record and the rest of its segment are skipped; the next segment is read.
TEST_F(DamagedRecordingTest, ImpossibleRecordSizeEndsItsSegment) {
    // The rest of the segment after the head is 10 + 16 + 4 bytes: 31 is one byte too many.
    for (const std::int32_t size : {-5, 1 << 30, 0x7FFFFFFF, 31}) {
        WriteWithHead({100, 1, 2, size}, 10);
        TScreenRecorderPlaybackFile reader(File());
        test::TCaptureTracer trace;
        const auto frames = test::ReadAllFrames(reader);
        ASSERT_EQ(frames.size(), 2u) << size;
        EXPECT_EQ(frames[0].Payload, Bytes(4, 1));
        EXPECT_EQ(frames[1].Time, 10000u);
        EXPECT_EQ(frames[1].KeyFrame, 1);
        EXPECT_EQ(frames[1].Payload, Bytes(4, 4));
        EXPECT_TRUE(trace.Contains("Next KeyFrame: 0 -> 1"));
    }
}

TEST_F(DamagedRecordingTest, PayloadCutShortByTheDataComesBackEmpty) {
    auto layout = WriteWithHead({0, 0, 0, 1000}, 10);
    layout.KeyFrames[0].Size = 16 + 4 + 16 + 1000; // the index promises the whole payload
    test::ReplaceKeyFrameIndex(File(), 1, {layout.KeyFrames[0]});
    TScreenRecorderPlaybackFile reader(File());
    const auto frames = test::ReadAllFrames(reader, ReadLimit);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[1].Payload.empty());
}

TEST_F(DamagedRecordingTest, ImpossibleEntrySizesAndOffsetsStopOrSkipCleanly) {
    const auto layout = WriteGood();
    auto entries = layout.KeyFrames;
    entries[0].Size = -1;
    test::ReplaceKeyFrameIndex(File(), 2, entries);
    {
        TScreenRecorderPlaybackFile reader(File());
        const auto frames = test::ReadAllFrames(reader, ReadLimit);
        ASSERT_EQ(frames.size(), 1u); // segment 0 cannot hold a record: segment 1 is read
        EXPECT_EQ(frames[0].KeyFrame, 1);
        EXPECT_EQ(frames[0].Payload, Bytes(4, 4));
    }
    for (std::int64_t offset : {std::int64_t{1} << 40, std::int64_t{-5}, layout.Size + 100000}) {
        entries = layout.KeyFrames;
        entries[1].Offset = offset;
        test::ReplaceKeyFrameIndex(File(), 2, entries);
        TScreenRecorderPlaybackFile reader(File());
        EXPECT_EQ(test::ReadAllFrames(reader, ReadLimit).size(), 3u) << offset;
    }
}

TEST_F(DamagedRecordingTest, TrackCountsBeyondTheirStreamsRefuseTheFile) {
    const auto layout = WriteGood();
    for (std::int32_t count : {3, 0x7FFFFFFF, -1}) {
        test::ReplaceKeyFrameIndex(File(), count, layout.KeyFrames);
        ExpectRefused("index count");
    }
    test::ReplaceKeyFrameIndex(File(), 2, layout.KeyFrames);
    const std::vector<TCursorEntry> cursors{{0, 1, 1}, {5, 2, 2}};
    for (std::int32_t count : {3, 0x7FFFFFFF, -7}) {
        test::ReplaceCursorTrack(File(), count, cursors);
        ExpectRefused("cursor count");
    }
    test::ReplaceCursorTrack(File(), 1, cursors); // fewer than stored is fine
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_EQ(reader.Cursors().Count(), 1u);
}

TEST_F(DamagedRecordingTest, TrackOffsetsOutsideTheFileOrDamagedIndexRefuseIt) {
    const auto layout = WriteGood();
    for (std::int64_t offset : {std::int64_t{-1}, layout.Size, layout.Size + 10,
                                std::int64_t{1} << 62, std::int64_t{20}}) {
        test::PatchValue(File(), offsetof(TVSRHeader, KeyFrameIndexOffset), offset);
        ExpectRefused("index offset");
    }
    test::PatchValue(File(), offsetof(TVSRHeader, KeyFrameIndexOffset), layout.KeyFrameIndexOffset);
    test::PatchValue(File(), offsetof(TVSRHeader, CursorTrackOffset), layout.Size + 1);
    ExpectRefused("cursor offset");
    test::PatchValue(File(), offsetof(TVSRHeader, CursorTrackOffset), layout.CursorTrackOffset);
    test::PatchFile(File(), layout.KeyFrameIndexOffset + 2, Bytes(1, 0xFF));
    ExpectRefused("damaged index stream");
}

TEST_F(DamagedRecordingTest, DamagedSegmentRaisesTheDamagedDataError) {
    const auto layout = WriteGood();
    test::PatchFile(File(), layout.KeyFrames[1].Offset + 2, Bytes(1, 0xFF));
    TScreenRecorderPlaybackFile reader(File());
    TMemoryStream frame;
    std::uint32_t time = 0;
    std::int32_t x = 0, y = 0;
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(reader.ReadFrame(time, x, y, frame));
    try {
        reader.ReadFrame(time, x, y, frame);
        FAIL() << "damaged segment was read";
    } catch (const EZDecompressionError& error) {
        EXPECT_NE(std::string(error.what()).find("damaged"), std::string::npos) << error.what();
    }
}

// Opens and reads everything; only the program's own errors may come out.
void ReadEverything(const std::string& fileName) {
    try {
        TScreenRecorderPlaybackFile reader(fileName);
        EXPECT_LT(test::ReadAllFrames(reader, ReadLimit).size(), ReadLimit);
        reader.SeekKeyFrame(false);
        test::ReadAllFrames(reader, ReadLimit);
    } catch (const Exception&) {
    }
}

TEST_F(DamagedRecordingTest, TruncatedAndBitFlippedFilesFailCleanly) {
    TRecordingOptions options;
    options.TileWidth = 8;
    options.TileHeight = 4;
    std::vector<TTimedPicture> pictures;
    for (std::uint32_t t = 0; t < 25000; t += 2500)
        pictures.push_back({t, test::PatternPicture(16, 8, t)});
    WriteRecordingFile(File(), {16, 8, pictures, {{0, 1, 1}}, Bytes(40, 9), {}}, options);
    const auto good = test::ReadFileBytes(File());
    const std::string damaged = FDir.File("x.vsr");
    for (std::size_t size = 0; size < good.size(); size += 13) {
        test::WriteFileBytes(damaged, std::span(good).first(size));
        ReadEverything(damaged);
    }
    for (std::size_t at = 0; at < good.size(); at += 5) {
        auto bytes = good;
        bytes[at] ^= std::byte(0x80 >> (at % 8));
        test::WriteFileBytes(damaged, bytes);
        ReadEverything(damaged);
    }
}

} // namespace
} // namespace vsr
