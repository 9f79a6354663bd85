#include "recording/ScreenRecorderPlaybackFile.h"
#include "support/Recordings.h"
#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

using test::Bytes;

constexpr std::uint32_t RecordsPerSegment = 11; // 2 key-frame tiles, then 9 single changes

class ReaderTest : public ::testing::Test {
protected:
    std::string File() const { return FDir.File("r.vsr"); }

    // segments key frames 10 s apart, a picture every second; pictures of two 8 x 8 tiles.
    TRecordingLayout WriteSeconds(std::uint32_t segments, TRecordingOptions options = {}) {
        options.TileWidth = 8;
        options.TileHeight = 8;
        TFileStream file(File(), TFileMode::Create);
        TScreenRecorderFileWriter writer(file, 16, 8, options);
        const auto base = test::PatternPicture(16, 8, 3);
        for (std::uint32_t t = 0; t < segments * 10000; t += 1000)
            writer.AddPicture(t, test::WithRect(base, 0, 0, 1, 1, t));
        writer.AddCursor({0, 5, 6});
        writer.AddCursor({700, 7, 8});
        return writer.Finish(Bytes(64, 1));
    }

    // count segments 10 s apart with one small record each.
    TRecordingLayout WriteSegments(std::uint32_t count) {
        TFileStream file(File(), TFileMode::Create);
        TScreenRecorderFileWriter writer(file, 16, 8);
        for (std::uint32_t i = 0; i < count; ++i) {
            writer.BeginKeyFrame(i * 10000);
            writer.AddRecord({i * 10000, static_cast<std::int32_t>(i), 0, 4}, Bytes(4, 1));
        }
        return writer.Finish({});
    }

    test::TReadFrame Next(TCustomScreenRecorderPlaybackFile& reader) {
        bool found = false;
        auto frame = test::ReadOneFrame(reader, found);
        EXPECT_TRUE(found);
        return frame;
    }
    bool AtEnd(TCustomScreenRecorderPlaybackFile& reader) {
        bool found = true;
        test::ReadOneFrame(reader, found);
        return !found;
    }

    test::TTempDir FDir;
};

TEST_F(ReaderTest, ReadsSegmentAfterSegmentTracingEachOpening) {
    const auto layout = WriteSeconds(3);
    TScreenRecorderPlaybackFile reader(File());
    ASSERT_EQ(reader.KeyFrames().Count(), 3u);
    EXPECT_EQ(reader.KeyFrames()[2].Offset, layout.KeyFrames[2].Offset);
    ASSERT_EQ(reader.Cursors().Count(), 2u);
    EXPECT_EQ(reader.Cursors()[1].Time, 700u);
    EXPECT_EQ(reader.CurrentKeyFrame(), -1);
    int opened = 0;
    reader.OnKeyFrame = [&](TCustomScreenRecorderPlaybackFile& sender) {
        EXPECT_EQ(&sender, &reader);
        EXPECT_EQ(sender.CurrentKeyFrame(), opened++);
    };
    test::TCaptureTracer trace;
    const auto frames = test::ReadAllFrames(reader);
    ASSERT_EQ(frames.size(), 3 * RecordsPerSegment);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto segment = static_cast<std::uint32_t>(i / RecordsPerSegment);
        const auto inSegment = static_cast<std::uint32_t>(i % RecordsPerSegment);
        EXPECT_EQ(frames[i].KeyFrame, static_cast<std::int32_t>(segment));
        EXPECT_EQ(frames[i].Time, segment * 10000 + (inSegment < 2 ? 0 : (inSegment - 1) * 1000));
    }
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(trace.Lines(),
              (std::vector<std::string>{"Next KeyFrame: -1 -> 0", "Next KeyFrame: 0 -> 1",
                                        "Next KeyFrame: 1 -> 2", "Next KeyFrame: 2 -> 3"}));
    EXPECT_TRUE(AtEnd(reader));
}

TEST_F(ReaderTest, NeedsNextSegmentOnceTheSegmentsBytesAreDelivered) {
    WriteSeconds(2);
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_TRUE(reader.NeedsNextSegment());
    for (std::uint32_t i = 0; i < RecordsPerSegment - 1; ++i) {
        Next(reader);
        EXPECT_FALSE(reader.NeedsNextSegment()) << i;
    }
    Next(reader); // the segment's last record
    EXPECT_TRUE(reader.NeedsNextSegment());
    EXPECT_EQ(reader.CurrentKeyFrame(), 0);
    EXPECT_EQ(Next(reader).KeyFrame, 1);
}

TEST_F(ReaderTest, PayloadStreamIsReusedAndBufferVariantDeliversTheSame) {
    const std::int32_t sizes[] = {300, 20, 0, 4000, 7};
    {
        TFileStream file(File(), TFileMode::Create);
        TScreenRecorderFileWriter writer(file, 16, 8);
        writer.BeginKeyFrame(0);
        for (std::int32_t size : sizes)
            writer.AddRecord({0, size, 1, size}, Bytes(static_cast<std::size_t>(size), size));
        writer.Finish({});
    }
    TScreenRecorderPlaybackFile first(File());
    TScreenRecorderPlaybackFile second(File());
    TMemoryStream frame;
    std::vector<std::byte> buffer(99, std::byte{1});
    std::uint32_t time = 0;
    std::int32_t x = 0, y = 0;
    for (std::int32_t size : sizes) {
        ASSERT_TRUE(first.ReadFrame(time, x, y, frame));
        EXPECT_EQ(frame.Position(), 0);
        ASSERT_TRUE(second.ReadFrameToBuffer(time, x, y, buffer));
        EXPECT_EQ(x, size);
        EXPECT_EQ(y, 1);
        EXPECT_EQ(buffer, Bytes(static_cast<std::size_t>(size), size));
        EXPECT_TRUE(std::ranges::equal(frame.Memory(), buffer));
    }
    EXPECT_FALSE(first.ReadFrame(time, x, y, frame));
    EXPECT_FALSE(second.ReadFrameToBuffer(time, x, y, buffer));
}

TEST_F(ReaderTest, SeekTimeLandsOnTheFirstKeyFrameNotBeforeTheTime) {
    WriteSeconds(4);
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_EQ(reader.SeekTime(15000), 20000u);
    EXPECT_EQ(reader.CurrentKeyFrame(), 1);
    auto frame = Next(reader);
    EXPECT_EQ(frame.Time, 20000u);
    EXPECT_EQ(frame.KeyFrame, 2);
    EXPECT_EQ(reader.SeekTime(10000), 10000u);
    EXPECT_EQ(Next(reader).Time, 10000u);
    EXPECT_EQ(reader.SeekTime(0), 0u);
    frame = Next(reader);
    EXPECT_EQ(frame.Time, 0u);
    EXPECT_EQ(frame.KeyFrame, 0);
}

TEST_F(ReaderTest, SeekTimeBeyondTheLastKeyFrameKeepsReadingWhereItWas) {
    WriteSeconds(3);
    TScreenRecorderPlaybackFile reference(File());
    const auto all = test::ReadAllFrames(reference);
    TScreenRecorderPlaybackFile reader(File());
    reader.SeekTime(10000);
    for (int i = 0; i < 4; ++i)
        Next(reader);
    EXPECT_EQ(reader.SeekTime(20001), reader.Header().StopTickCount);
    const auto frame = Next(reader);
    EXPECT_EQ(frame.KeyFrame, 1);
    EXPECT_EQ(frame.Time, all[RecordsPerSegment + 4].Time);
    EXPECT_EQ(frame.Payload, all[RecordsPerSegment + 4].Payload);
}

TEST_F(ReaderTest, FirstEntryHoldingStartTickCountCountsAsZero) {
    TRecordingOptions options;
    options.StartTickCount = 45602125;
    options.FirstEntryTime = TFirstEntryTime::StartTickCount;
    WriteSeconds(3, options);
    TScreenRecorderPlaybackFile reader(File());
    ASSERT_EQ(reader.KeyFrames()[0].Time, 45602125u);
    EXPECT_EQ(reader.KeyFrameTime(0), 0u);
    EXPECT_EQ(reader.SeekTime(1), 10000u); // entry 0 is at 0, before 1
    EXPECT_EQ(reader.SeekTime(0), 0u);
    auto frame = Next(reader);
    EXPECT_EQ(frame.Time, 0u);
    EXPECT_EQ(frame.KeyFrame, 0);
    reader.SeekTime(20000);
    Next(reader);
    EXPECT_EQ(reader.SeekKeyFrame(false), 10000u);
    EXPECT_EQ(reader.SeekKeyFrame(false), 0u);
    EXPECT_EQ(Next(reader).KeyFrame, 0);
}

TEST_F(ReaderTest, SeekKeyFrameStepIsCountOverTwentyRoundedHalfToEven) {
    // 94 / 20 = 4.7; 2.5 and 3.5 go to the even neighbour; 29 / 20 = 1.45; 0.5 becomes 1.
    for (const auto& [count, step] : {std::pair{94u, 5}, {50u, 2}, {70u, 4}, {29u, 1}, {10u, 1}}) {
        WriteSegments(count);
        TScreenRecorderPlaybackFile reader(File());
        Next(reader);
        EXPECT_EQ(reader.SeekKeyFrame(true), static_cast<std::uint32_t>(step) * 10000) << count;
        EXPECT_EQ(Next(reader).KeyFrame, step) << count;
        EXPECT_EQ(reader.SeekKeyFrame(false), 0u) << count;
        EXPECT_EQ(Next(reader).KeyFrame, 0) << count;
    }
}

TEST_F(ReaderTest, SeekKeyFrameAtEitherEnd) {
    WriteSegments(94);
    TScreenRecorderPlaybackFile reader(File());
    // Backward from segment 2 with a step of 5 resumes at segment 0.
    reader.SeekTime(20000);
    ASSERT_EQ(Next(reader).KeyFrame, 2);
    EXPECT_EQ(reader.SeekKeyFrame(false), 0u);
    EXPECT_EQ(reader.CurrentKeyFrame(), -1);
    const auto frame = Next(reader);
    EXPECT_EQ(frame.KeyFrame, 0);
    EXPECT_EQ(frame.Time, 0u);
    // Forward from the last segment ends reading.
    reader.SeekTime(880000);
    Next(reader);
    EXPECT_EQ(reader.SeekKeyFrame(true), 930000u); // 88 + 5 is the last segment
    EXPECT_EQ(Next(reader).KeyFrame, 93);
    EXPECT_EQ(reader.SeekKeyFrame(true), reader.Header().StopTickCount);
    EXPECT_EQ(reader.CurrentKeyFrame(), 93);
    EXPECT_TRUE(AtEnd(reader));
    reader.SeekTime(910000);
    Next(reader);
    EXPECT_EQ(reader.SeekKeyFrame(true), reader.Header().StopTickCount); // clamped at 93
    EXPECT_TRUE(AtEnd(reader));
}

TEST_F(ReaderTest, EmptyIndexReadsNothingAndSeeksToTheEnd) {
    WriteSegments(0);
    TScreenRecorderPlaybackFile reader(File());
    test::TCaptureTracer trace;
    EXPECT_TRUE(AtEnd(reader));
    EXPECT_TRUE(trace.Contains("Next KeyFrame: -1 -> 0"));
    EXPECT_EQ(reader.SeekTime(0), reader.Header().StopTickCount);
    EXPECT_EQ(reader.SeekKeyFrame(true), reader.Header().StopTickCount);
    EXPECT_EQ(reader.SeekKeyFrame(false), reader.Header().StopTickCount);
    EXPECT_TRUE(AtEnd(reader));
}

TEST_F(ReaderTest, EntryWithoutDataEndsReadingThere) {
    auto entries = WriteSegments(3).KeyFrames;
    entries[1].Size = 0;
    test::ReplaceKeyFrameIndex(File(), 3, entries);
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_EQ(Next(reader).KeyFrame, 0);
    EXPECT_TRUE(AtEnd(reader));
    EXPECT_EQ(reader.CurrentKeyFrame(), 1);
}

TEST_F(ReaderTest, RefusesFilesWithoutTheMagicOrTooShort) {
    WriteSegments(2);
    const auto good = test::ReadFileBytes(File());
    const auto expectRefused = [&](const std::vector<std::byte>& bytes) {
        test::WriteFileBytes(File(), bytes);
        try {
            TScreenRecorderPlaybackFile reader(File());
            ADD_FAILURE() << "accepted";
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), std::string(sInvalidSRFile));
        }
    };
    for (std::size_t i = 0; i < 6; ++i) {
        auto bytes = good;
        bytes[i] ^= std::byte{0x01};
        SCOPED_TRACE(i);
        expectRefused(bytes);
    }
    expectRefused({});
    expectRefused({good.begin(), good.begin() + 71});
    EXPECT_THROW(TScreenRecorderPlaybackFile reader(FDir.File("missing.vsr")), EFOpenError);
    auto bytes = good; // bytes 6 and 7 are not part of the magic
    bytes[6] = std::byte{'x'};
    bytes[7] = std::byte{0xFF};
    test::WriteFileBytes(File(), bytes);
    EXPECT_EQ(TScreenRecorderPlaybackFile(File()).KeyFrames().Count(), 2u);
}

} // namespace
} // namespace vsr
