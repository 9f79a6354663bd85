#include "recording/ScreenRecorderPlaybackFile.h"
#include "RecordingTestSupport.h"
#include "shell/Messages.h"
#include "support/CaptureTracer.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace vsr {
namespace {

using test::Bytes;

constexpr std::uint32_t RecordsPerSegment = 11; // 2 key-frame tiles, then 9 single changes

// segments key frames 10 s apart, a picture every second; pictures of two 8 x 8 tiles.
TRecordingLayout WriteSeconds(const std::string& fileName, std::uint32_t segments,
                              TRecordingOptions options = {}) {
    options.TileWidth = 8;
    options.TileHeight = 8;
    TFileStream file(fileName, TFileMode::Create);
    TScreenRecorderFileWriter writer(file, 16, 8, options);
    const auto base = test::PatternPicture(16, 8, 3);
    for (std::uint32_t t = 0; t < segments * 10000; t += 1000)
        writer.AddPicture(t, test::WithRect(base, 0, 0, 1, 1, t));
    writer.AddCursor({0, 5, 6});
    writer.AddCursor({700, 7, 8});
    return writer.Finish(Bytes(64, 1));
}

// count segments 10 s apart with one small record each.
TRecordingLayout WriteSegments(const std::string& fileName, std::uint32_t count,
                               TRecordingOptions options = {}) {
    TFileStream file(fileName, TFileMode::Create);
    TScreenRecorderFileWriter writer(file, 16, 8, options);
    for (std::uint32_t i = 0; i < count; ++i) {
        writer.BeginKeyFrame(i * 10000);
        writer.AddRecord({i * 10000, static_cast<std::int32_t>(i), 0, 4}, Bytes(4, 1));
    }
    return writer.Finish({});
}

class ReaderTest : public ::testing::Test {
protected:
    std::string File() const { return FDir.File("r.vsr"); }
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

TEST_F(ReaderTest, OpeningLoadsHeaderIndexAndCursorsButNoSegment) {
    const auto layout = WriteSeconds(File(), 3);
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_EQ(reader.FileName(), File());
    EXPECT_EQ(reader.Header().StopTickCount, layout.Header.StopTickCount);
    ASSERT_EQ(reader.KeyFrames().Count(), 3u);
    EXPECT_EQ(reader.KeyFrames()[2].Offset, layout.KeyFrames[2].Offset);
    EXPECT_EQ(reader.KeyFrames()[2].Size, layout.KeyFrames[2].Size);
    ASSERT_EQ(reader.Cursors().Count(), 2u);
    EXPECT_EQ(reader.Cursors()[1].Time, 700u);
    EXPECT_EQ(reader.CurrentKeyFrame(), -1);
    EXPECT_TRUE(reader.NeedsNextSegment());
    EXPECT_EQ(reader.GetStream().Size(), layout.Size);
}

TEST_F(ReaderTest, ReadsSegmentAfterSegmentTracingEachOpening) {
    WriteSeconds(File(), 3);
    TScreenRecorderPlaybackFile reader(File());
    int opened = 0;
    reader.OnKeyFrame = [&](TCustomScreenRecorderPlaybackFile& sender) {
        EXPECT_EQ(&sender, &reader);
        EXPECT_EQ(sender.CurrentKeyFrame(), opened);
        ++opened;
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
    WriteSeconds(File(), 2);
    TScreenRecorderPlaybackFile reader(File());
    Next(reader);
    EXPECT_FALSE(reader.NeedsNextSegment());
    for (std::uint32_t i = 1; i < RecordsPerSegment - 1; ++i)
        Next(reader);
    EXPECT_FALSE(reader.NeedsNextSegment());
    Next(reader); // the segment's last record
    EXPECT_TRUE(reader.NeedsNextSegment());
    EXPECT_EQ(reader.CurrentKeyFrame(), 0);
    EXPECT_EQ(Next(reader).KeyFrame, 1);
}

TEST_F(ReaderTest, PayloadStreamIsReusedAndBufferVariantDeliversTheSame) {
    test::TTempDir dir;
    TFileStream file(File(), TFileMode::Create);
    TScreenRecorderFileWriter writer(file, 16, 8);
    writer.BeginKeyFrame(0);
    for (std::int32_t size : {300, 20, 0, 4000, 7})
        writer.AddRecord({0, size, 1, size}, Bytes(static_cast<std::size_t>(size), size & 0xFF));
    writer.Finish({});

    TScreenRecorderPlaybackFile first(File());
    TScreenRecorderPlaybackFile second(File());
    TMemoryStream frame;
    std::vector<std::byte> buffer(99, std::byte{1});
    std::uint32_t time = 0, time2 = 0;
    std::int32_t x = 0, y = 0, x2 = 0, y2 = 0;
    for (std::int32_t size : {300, 20, 0, 4000, 7}) {
        ASSERT_TRUE(first.ReadFrame(time, x, y, frame));
        ASSERT_TRUE(second.ReadFrameToBuffer(time2, x2, y2, buffer));
        EXPECT_EQ(x, size);
        EXPECT_EQ(x2, size);
        EXPECT_EQ(y2, 1);
        EXPECT_EQ(frame.Size(), size);
        EXPECT_EQ(frame.Position(), 0);
        EXPECT_EQ(buffer, Bytes(static_cast<std::size_t>(size), size & 0xFF));
        EXPECT_TRUE(std::ranges::equal(frame.Memory(), buffer));
    }
    EXPECT_FALSE(first.ReadFrame(time, x, y, frame));
    EXPECT_FALSE(second.ReadFrameToBuffer(time, x, y, buffer));
}

TEST_F(ReaderTest, SeekTimeLandsOnTheFirstKeyFrameNotBeforeTheTime) {
    WriteSeconds(File(), 4);
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_EQ(reader.SeekTime(15000), 20000u);
    EXPECT_EQ(reader.CurrentKeyFrame(), 1);
    auto frame = Next(reader);
    EXPECT_EQ(frame.Time, 20000u);
    EXPECT_EQ(frame.KeyFrame, 2);
    EXPECT_EQ(reader.SeekTime(10000), 10000u);
    EXPECT_EQ(Next(reader).Time, 10000u);
    EXPECT_EQ(reader.SeekTime(0), 0u);
    EXPECT_EQ(reader.GetStream().Size(), std::filesystem::file_size(File())); // no segment open
    frame = Next(reader);
    EXPECT_EQ(frame.Time, 0u);
    EXPECT_EQ(frame.KeyFrame, 0);
}

TEST_F(ReaderTest, SeekTimeBeyondTheLastKeyFrameKeepsReadingWhereItWas) {
    WriteSeconds(File(), 3);
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
    WriteSeconds(File(), 3, options);
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

struct TStepCase {
    std::uint32_t Count;
    std::int32_t Step;
};

class SeekKeyFrameStepTest : public ReaderTest, public ::testing::WithParamInterface<TStepCase> {};

TEST_P(SeekKeyFrameStepTest, StepIsCountOverTwentyRoundedHalfToEven) {
    const auto [count, step] = GetParam();
    WriteSegments(File(), count);
    TScreenRecorderPlaybackFile reader(File());
    Next(reader);
    EXPECT_EQ(reader.SeekKeyFrame(true), static_cast<std::uint32_t>(step) * 10000);
    EXPECT_EQ(Next(reader).KeyFrame, step);
    EXPECT_EQ(reader.SeekKeyFrame(false), 0u);
    EXPECT_EQ(Next(reader).KeyFrame, 0);
}

INSTANTIATE_TEST_SUITE_P(Counts, SeekKeyFrameStepTest,
                         ::testing::Values(TStepCase{94, 5}, TStepCase{50, 2}, TStepCase{70, 4},
                                           TStepCase{30, 2}, TStepCase{29, 1}, TStepCase{31, 2},
                                           TStepCase{10, 1}, TStepCase{3, 1}));

TEST_F(ReaderTest, SeekKeyFrameForwardFromTheLastSegmentEndsReading) {
    WriteSegments(File(), 94);
    TScreenRecorderPlaybackFile reader(File());
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

TEST_F(ReaderTest, SeekKeyFrameBackwardFromSegmentTwoWithStepFiveResumesAtZero) {
    WriteSegments(File(), 94);
    TScreenRecorderPlaybackFile reader(File());
    reader.SeekTime(20000);
    ASSERT_EQ(Next(reader).KeyFrame, 2);
    EXPECT_EQ(reader.SeekKeyFrame(false), 0u);
    EXPECT_EQ(reader.CurrentKeyFrame(), -1);
    const auto frame = Next(reader);
    EXPECT_EQ(frame.KeyFrame, 0);
    EXPECT_EQ(frame.Time, 0u);
}

TEST_F(ReaderTest, EmptyIndexReadsNothingAndSeeksToTheEnd) {
    WriteSegments(File(), 0);
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
    const auto layout = WriteSegments(File(), 3);
    auto entries = layout.KeyFrames;
    entries[1].Size = 0;
    test::ReplaceKeyFrameIndex(File(), 3, entries);
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_EQ(Next(reader).KeyFrame, 0);
    EXPECT_TRUE(AtEnd(reader));
    EXPECT_EQ(reader.CurrentKeyFrame(), 1);
}

TEST_F(ReaderTest, RefusesFilesWithoutTheMagicOrTooShort) {
    WriteSegments(File(), 2);
    const auto good = test::ReadFileBytes(File());
    const std::string invalid(sInvalidSRFile);
    for (std::size_t i = 0; i < 6; ++i) {
        auto bytes = good;
        bytes[i] ^= std::byte{0x01};
        test::WriteFileBytes(File(), bytes);
        try {
            TScreenRecorderPlaybackFile reader(File());
            ADD_FAILURE() << "accepted a magic altered at byte " << i;
        } catch (const Exception& error) {
            EXPECT_EQ(error.Message(), invalid);
        }
    }
    for (std::size_t size : {0, 71}) {
        test::WriteFileBytes(File(), std::span(good).first(size));
        EXPECT_THROW(TScreenRecorderPlaybackFile reader(File()), Exception) << size;
    }
    auto bytes = good;
    bytes[6] = std::byte{'x'};
    bytes[7] = std::byte{0xFF};
    test::WriteFileBytes(File(), bytes);
    TScreenRecorderPlaybackFile reader(File());
    EXPECT_EQ(reader.KeyFrames().Count(), 2u);
}

TEST_F(ReaderTest, OpenErrorsOfTheFilePropagate) {
    EXPECT_THROW(TScreenRecorderPlaybackFile reader(FDir.File("missing.vsr")), EFOpenError);
}

// In debug builds the misuse asserts; in release builds it raises.
void GetStreamWhileReading(TCustomScreenRecorderPlaybackFile& reader) {
    try {
        reader.GetStream();
    } catch (const Exception&) {
        std::exit(0);
    }
}

TEST_F(ReaderTest, GetStreamWhileASegmentIsReadIsRefused) {
    WriteSegments(File(), 2);
    TScreenRecorderPlaybackFile reader(File());
    Next(reader);
#ifdef NDEBUG
    EXPECT_THROW(reader.GetStream(), Exception);
#else
    EXPECT_DEATH(GetStreamWhileReading(reader), "GetStream");
#endif
    reader.SeekKeyFrame(false);
    EXPECT_NO_THROW(reader.GetStream());
}

} // namespace
} // namespace vsr
