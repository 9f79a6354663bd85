#include "render/Snapshot.h"
#include "support/Recordings.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/Bitmap32.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

class ComposeAtTest : public ::testing::Test {
protected:
    test::TTempDir FDir;
    std::vector<TTimedPicture> FPictures;

    std::string File() const { return FDir.File("r.vsr"); }

    // 300 x 70 (tiles cut at the right and bottom edges); key frames at 0, 1500 and 3000.
    TRecordingLayout Write(TRecordingOptions options = {}) {
        const TScreenPicture first = test::PatternPicture(300, 70, 1);
        const TScreenPicture second = test::WithRect(first, 10, 10, 20, 5, 0xFF0000);
        const TScreenPicture third = test::PatternPicture(300, 70, 2);
        const TScreenPicture fourth = test::WithRect(third, 0, 60, 300, 10, 0x0000FF);
        FPictures = {{0, first},
                     {500, second},
                     {1200, test::WithRect(second, 250, 30, 40, 30, 0x00FF00)},
                     {1500, third},
                     {2600, fourth},
                     {3000, test::WithRect(fourth, 100, 0, 10, 10, 0xFFFFFF)}};
        options.KeyFrameInterval = 1400;
        return WriteRecordingFile(File(), {300, 70, FPictures, {}, test::Bytes(10, 1), {}},
                                  options);
    }

    // The last picture recorded at or before time.
    const TScreenPicture& PictureAt(std::uint32_t time) const {
        const TScreenPicture* found = &FPictures.front().Picture;
        for (const TTimedPicture& picture : FPictures)
            if (picture.Time <= time)
                found = &picture.Picture;
        return *found;
    }
};

TEST_F(ComposeAtTest, HoldsTheLastPictureAtEveryTime) {
    const TRecordingLayout layout = Write();
    ASSERT_EQ(layout.KeyFrames.size(), 3u);
    for (std::uint32_t time :
         {0u, 499u, 500u, 1200u, 1499u, 1500u, 2599u, 2600u, 3000u, 0xFFFFFFFFu}) {
        TScreenRecorderPlaybackFile reader(File());
        TBitmap32 bitmap;
        PrepareBitmap(bitmap, 300, 70);
        ComposeAt(reader, time, bitmap);
        EXPECT_TRUE(test::SamePicture(bitmap.View(), test::Expanded555(PictureAt(time))))
            << "at " << time;
    }
}

TEST_F(ComposeAtTest, StartsAtTheLastKeyFrameNotAfterTheTime) {
    Write();
    TScreenRecorderPlaybackFile reader(File());
    TBitmap32 bitmap(300, 70);
    // Key frame 1 alone: its 2 x 3 tiles, nothing changes before 2600.
    const TComposeCount count = ComposeAt(reader, 2000, bitmap);
    EXPECT_EQ(count.Records, 6);
    EXPECT_EQ(count.Drawn, 6);
    // Then at 2600 the 4 tiles that rows 60 to 69 touch (tile rows 1 and 2).
    EXPECT_EQ(ComposeAt(reader, 2600, bitmap).Records, 10);
    // From key frame 0: its 6 tiles, 1 changed at 500 and 4 at 1200.
    EXPECT_EQ(ComposeAt(reader, 1499, bitmap).Records, 11);
    EXPECT_EQ(ComposeAt(reader, 3000, bitmap).Records, 6);
}

TEST_F(ComposeAtTest, FirstKeyFrameCountsAsTimeZero) {
    TRecordingOptions options;
    options.FirstEntryTime = TFirstEntryTime::StartTickCount;
    options.StartTickCount = 5000;
    options.BitDepth = TTileBitDepth::Bits24;
    const TRecordingLayout layout = Write(options);
    ASSERT_EQ(layout.KeyFrames[0].Time, 5000u);
    TScreenRecorderPlaybackFile reader(File());
    TBitmap32 bitmap(300, 70);
    ComposeAt(reader, 600, bitmap);
    EXPECT_TRUE(test::SamePicture(bitmap.View(), PictureAt(600)));
}

TEST_F(ComposeAtTest, UndecodableTileIsSkippedAndTheRestDrawn) {
    const TScreenPicture picture = test::PatternPicture(40, 20, 3);
    const TScreenPicture patch = test::PatternPicture(10, 10, 4);
    {
        TFileStream file(File(), TFileMode::Create);
        TScreenRecorderFileWriter writer(file, 40, 20);
        writer.BeginKeyFrame(0);
        const auto whole = EncodeTileDib(picture, {0, 0, 40, 20}, TTileBitDepth::Bits24);
        writer.AddRecord({0, 0, 0, static_cast<std::int32_t>(whole.size())}, whole);
        const auto cut = std::span(whole).first(100);
        writer.AddRecord({100, 0, 0, 100}, cut);
        const auto corner = EncodeTileDib(patch, {0, 0, 10, 10}, TTileBitDepth::Bits32);
        writer.AddRecord({200, 35, 15, static_cast<std::int32_t>(corner.size())}, corner);
        writer.Finish(test::Bytes(4, 0));
    }
    TScreenRecorderPlaybackFile reader(File());
    TBitmap32 bitmap(40, 20);
    const TComposeCount count = ComposeAt(reader, 200, bitmap);
    EXPECT_EQ(count.Records, 3);
    EXPECT_EQ(count.Drawn, 2);
    TScreenPicture expected = picture;
    for (std::int32_t y = 15; y < 20; ++y)
        for (std::int32_t x = 35; x < 40; ++x)
            expected.At(x, y) = patch.At(x - 35, y - 15);
    EXPECT_TRUE(test::SamePicture(bitmap.View(), expected));
}

TEST(CursorPos, NextRecordedPositionAfterTheTime) {
    TCursorList cursors;
    EXPECT_EQ(CursorPosAt(cursors, 50), (TPoint{0, 0})); // no later entry: the start position
    cursors.Add(std::make_unique<TCursorEntry>(TCursorEntry{0, 7, 8}));
    EXPECT_EQ(CursorPosAt(cursors, 0), (TPoint{0, 0}));
    for (const TCursorEntry& entry : {TCursorEntry{100, 20, 20}, TCursorEntry{200, 30, 30},
                                      TCursorEntry{200, 40, 40}, TCursorEntry{150, 50, 50}})
        cursors.Add(std::make_unique<TCursorEntry>(entry));
    EXPECT_EQ(CursorPosAt(cursors, 99), (TPoint{20, 20}));
    EXPECT_EQ(CursorPosAt(cursors, 100), (TPoint{30, 30}));
    // The first later entry in track order, not the nearest later time.
    EXPECT_EQ(CursorPosAt(cursors, 120), (TPoint{30, 30}));
    EXPECT_FALSE(NextCursorPos(cursors, 200));
    // Past the track the position stays where the track left it.
    EXPECT_EQ(CursorPosAt(cursors, 0xFFFFFFFF), (TPoint{30, 30}));
}

} // namespace
} // namespace vsr
