// Pictures composed at a time: against drawing every record in turn, and from held key-frame
// pictures against the plain composition.

#include "render/KeyFramePictures.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "render/Drawing.h"
#include "render/TileDecoder.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ranges>

namespace vsr {
namespace {

// Three key frames (200, 1300, 2400), each followed by pictures that change part of the screen.
TRecordingContent ChangingScreen() {
    constexpr std::int32_t width = 96, height = 64;
    TRecordingContent content{width, height, {}, {}, {}, {}};
    std::uint32_t seed = 1;
    for (const std::uint32_t keyTime : {200u, 1300u, 2400u}) {
        TScreenPicture picture = test::PatternPicture(width, height, seed++);
        content.Pictures.push_back({keyTime, picture});
        for (const std::uint32_t later : {300u, 600u}) {
            picture = test::WithRect(picture, later / 10, later / 30, 40, 20, 0x10 * seed + later);
            content.Pictures.push_back({keyTime + later, picture});
        }
    }
    return content;
}

// Composing skips tiles that a later tile of the same place and size replaces; the picture
// must be the one of drawing every record in file order. The records overlap in every way:
// the same rectangle again, a larger tile over a smaller one and back, a tile partly over
// another, a damaged payload at a drawn tile's place, a tile half outside the screen.
TEST(ComposeAt, GivesThePictureOfDrawingEveryRecordInTurn) {
    const test::TTempDir folder;
    const std::string file = folder.File("overlapping.vsr");
    struct TRecord {
        std::uint32_t Time;
        std::int32_t X, Y, Width, Height;
        std::uint32_t Seed; // 0: a damaged payload
    };
    const TRecord records[] = {
        {0, 0, 0, 64, 48, 1},   {0, 0, 0, 32, 16, 2},    {10, 16, 8, 32, 16, 3},
        {10, 0, 0, 32, 16, 4},  {20, 0, 0, 64, 48, 5},   {20, 8, 4, 16, 16, 6},
        {30, 8, 4, 16, 16, 0},  {30, 48, 40, 32, 16, 7}, {40, 0, 0, 32, 16, 8},
        {40, 16, 8, 32, 16, 9}, {50, 8, 4, 16, 16, 10},  {60, 0, 0, 64, 48, 11},
    };
    {
        TFileStream output(file, TFileMode::Create);
        TScreenRecorderFileWriter writer(output, 64, 48);
        writer.BeginKeyFrame(0);
        for (const TRecord& record : records) {
            auto payload =
                EncodeTileDib(test::PatternPicture(record.Width, record.Height, record.Seed),
                              {0, 0, record.Width, record.Height}, TTileBitDepth::Bits24);
            if (record.Seed == 0)
                std::memset(payload.data(), 0xEE, 4); // header size no longer 40
            writer.AddRecord(
                {record.Time, record.X, record.Y, static_cast<std::int32_t>(payload.size())},
                payload);
        }
        writer.Finish({});
    }
    TScreenRecorderPlaybackFile reader(file);
    for (const std::uint32_t time : {0u, 5u, 10u, 20u, 30u, 40u, 50u, 60u, 99u}) {
        SCOPED_TRACE(time);
        TBitmap32 expected, actual;
        PrepareBitmap(expected, 64, 48);
        PrepareBitmap(actual, 64, 48);
        std::int64_t count = 0, decodable = 0;
        for (const TRecord& record : records) {
            if (record.Time > time)
                break;
            ++count;
            if (record.Seed == 0)
                continue;
            ++decodable;
            const TScreenPicture tile =
                test::PatternPicture(record.Width, record.Height, record.Seed);
            BlitTile(expected, PackedPixels(tile.Width, tile.Height, tile.Pixels), record.X,
                     record.Y);
        }
        TNextFrame next;
        const TComposeCount composed = ComposeAt(reader, time, actual, &next);
        EXPECT_TRUE(std::ranges::equal(actual.Pixels(), expected.Pixels()));
        EXPECT_EQ(std::tuple(composed.Records, composed.Drawn), std::tuple(count, decodable));
        EXPECT_EQ(next.Valid, time < 60);
    }
}

// Both ways on pictures prepared black, with room for two of the three key-frame pictures, the
// table forwards then backwards so that pictures are both found and composed again.
TEST(KeyFramePictures, CachedCompositionEqualsThePlainOneWithinTheCapacity) {
    const test::TTempDir folder;
    const std::string file = folder.File("changing.vsr");
    TRecordingOptions options;
    options.TileWidth = options.TileHeight = 32;
    options.KeyFrameInterval = 1000;
    WriteRecordingFile(file, ChangingScreen(), options);
    TScreenRecorderPlaybackFile plain(file), cached(file);
    ASSERT_EQ(cached.KeyFrames().Count(), 3u);
    const std::size_t pictureBytes = 96 * 64 * 4;
    TKeyFramePictures pictures(2 * pictureBytes + pictureBytes / 2);

    // Before the first picture, at it, between, at a later key frame, past the end.
    const std::vector<std::uint32_t> times{0, 100, 200, 650, 1300, 1450, 2400, 3100, 5000};
    std::vector<std::uint32_t> visits = times;
    std::ranges::copy(times | std::views::reverse, std::back_inserter(visits));
    for (const std::uint32_t time : visits) {
        SCOPED_TRACE(time);
        TBitmap32 expected, actual;
        PrepareBitmap(expected, 96, 64);
        PrepareBitmap(actual, 96, 64);
        const TComposeCount plainCount = ComposeAt(plain, time, expected);
        TNextFrame next;
        const TComposeCount cachedCount = ComposeCached(pictures, cached, time, actual, &next);
        EXPECT_TRUE(std::ranges::equal(actual.Pixels(), expected.Pixels()));
        EXPECT_EQ(cachedCount.Records, plainCount.Records);
        EXPECT_EQ(next.Valid, time < 3000) << "the record after the time is handed on";
        EXPECT_LE(pictures.Bytes(), pictures.Capacity());
        EXPECT_LE(pictures.Count(), 2u);
    }
    EXPECT_EQ(pictures.Count(), 2u);
    EXPECT_NE(pictures.Find(0), nullptr) << "the last visited stays";
    EXPECT_EQ(TKeyFramePictures(pictureBytes - 1).Picture(cached, 0), nullptr)
        << "a picture larger than the capacity is not kept";
}

} // namespace
} // namespace vsr
