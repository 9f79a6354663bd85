// Pictures composed from held key-frame pictures against the plain composition.

#include "render/KeyFramePictures.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/ScreenRecorderPlaybackFile.h"
#include "support/Pictures.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

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
