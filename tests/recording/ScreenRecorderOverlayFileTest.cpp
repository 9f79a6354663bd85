#include "recording/ScreenRecorderOverlayFile.h"
#include "PictureFixtures.h"
#include "RecordingTestSupport.h"
#include "recording/BitmapPicture.h"
#include "recording/GifPicture.h"
#include "recording/JpegPicture.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "recording/Streamer.h"
#include "shell/Messages.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace vsr {
namespace {

const auto HeaderImage = test::PatternPicture(13, 7, 4);

TOverlayPicture BitmapOverlay(const TScreenPicture& picture) {
    return {TOverlayPictureType::Bitmap, test::BitmapFileOf(picture)};
}

TOverlayPicture GifOverlay() {
    test::TGifImageSpec image;
    image.Width = 3;
    image.Height = 2;
    image.Indices = {0, 1, 1, 0, 1, 0};
    test::TGifFileSpec spec;
    spec.ScreenWidth = 3;
    spec.ScreenHeight = 2;
    spec.GlobalPalette = {0x102030, 0x405060};
    spec.Images = {image};
    return {TOverlayPictureType::Gif, test::GifFile(spec)};
}

TRecordingOverlay Overlay(TOverlayPicture header, std::optional<TOverlayPicture> trailer = {},
                          std::string link = {}) {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = std::move(header);
    overlay.TrailerPicture = std::move(trailer);
    overlay.Link = std::move(link);
    return overlay;
}

TRecordingOverlay WithDelays(TRecordingOverlay overlay, std::int32_t header, std::int32_t trailer) {
    overlay.HeaderDelaySeconds = header;
    overlay.TrailerDelaySeconds = trailer;
    return overlay;
}

// A recording's overlay block, written by the project's writer into memory after prefix bytes
// of other data; the stream's position is left at the block's start.
struct TOverlayFixture {
    TMemoryStream Stream;
    TRecordingLayout Layout;
    std::int64_t Base = 0;

    explicit TOverlayFixture(const TRecordingOverlay& overlay, std::size_t prefix = 0) {
        Stream.WriteBuffer(test::Bytes(prefix, 0x5A));
        TScreenRecorderFileWriter writer(Stream, 16, 8);
        writer.AddPicture(0, test::PatternPicture(16, 8, 1));
        Layout = writer.Finish(test::Bytes(300, 0x33), overlay);
        Base = static_cast<std::int64_t>(prefix) + Layout.OverlayOffset;
        Stream.SetPosition(Base);
    }

    template <typename TValue> void Patch(std::size_t fieldOffset, const TValue& value) {
        Stream.SetPosition(Base + static_cast<std::int64_t>(fieldOffset));
        WriteRecord(Stream, value);
        Stream.SetPosition(Base);
    }
};

// One stored picture for both roles, as in the usual recording: the trailer is a copy.
TEST(ScreenRecorderOverlayFile, SharedPictureDelaysAndLink) {
    TOverlayFixture fixture(WithDelays(
        Overlay(BitmapOverlay(HeaderImage), {}, "http://example.org/after-the-show"), 5, 7));
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    ASSERT_NE(overlay.HeaderPicture(), nullptr);
    ASSERT_NE(overlay.TrailerPicture(), nullptr);
    EXPECT_TRUE(overlay.TrailerIsHeader());
    EXPECT_NE(overlay.HeaderPicture(), overlay.TrailerPicture());
    EXPECT_NE(dynamic_cast<const TBitmapPicture*>(overlay.TrailerPicture()), nullptr);
    EXPECT_EQ(overlay.HeaderPicture()->Image(), HeaderImage);
    EXPECT_EQ(overlay.TrailerPicture()->Image(), HeaderImage);
    EXPECT_EQ(overlay.HeaderDelay(), 5);
    EXPECT_EQ(overlay.TrailerDelay(), 7);
    EXPECT_EQ(overlay.Link(), "http://example.org/after-the-show");
}

// The shared picture is taken whatever the trailer's type code says.
TEST(ScreenRecorderOverlayFile, SharedPictureIgnoresTheTrailerType) {
    TOverlayFixture fixture(Overlay(BitmapOverlay(HeaderImage)));
    fixture.Patch(offsetof(TOverlayHeader, TrailerPictureType), std::uint8_t{2});
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    ASSERT_NE(overlay.TrailerPicture(), nullptr);
    EXPECT_EQ(overlay.TrailerPicture()->Image(), HeaderImage);
}

TEST(ScreenRecorderOverlayFile, DifferentPicturesOfEachKind) {
    const auto trailerImage = test::SmoothPicture(40, 24);
    TOverlayFixture fixture(
        WithDelays(Overlay(GifOverlay(), TOverlayPicture{TOverlayPictureType::Jpeg,
                                                         test::JpegFileOf(trailerImage)}),
                   2, 3));
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    EXPECT_FALSE(overlay.TrailerIsHeader());
    ASSERT_NE(dynamic_cast<const TGifPicture*>(overlay.HeaderPicture()), nullptr);
    ASSERT_NE(dynamic_cast<const TJpegPicture*>(overlay.TrailerPicture()), nullptr);
    EXPECT_EQ(overlay.HeaderPicture()->Image().At(1, 0), 0x405060u);
    EXPECT_LE(test::MaxChannelDifference(overlay.TrailerPicture()->Image(), trailerImage), 12);
    EXPECT_TRUE(overlay.Link().empty());
}

TEST(ScreenRecorderOverlayFile, TypesZeroWithALinkGiveNoPicturesButTheLink) {
    // Picture bytes are stored, but type 0 means no picture class reads them.
    TOverlayFixture fixture(Overlay({TOverlayPictureType::None, test::Bytes(40, 1)},
                                    TOverlayPicture{TOverlayPictureType::None, test::Bytes(30, 2)},
                                    "vsrfile://host/next.vsr"));
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    EXPECT_EQ(overlay.HeaderPicture(), nullptr);
    EXPECT_EQ(overlay.TrailerPicture(), nullptr);
    EXPECT_EQ(overlay.Link(), "vsrfile://host/next.vsr");
}

TEST(ScreenRecorderOverlayFile, UnknownTypeCodesGiveNoPicture) {
    TOverlayFixture fixture(Overlay(BitmapOverlay(HeaderImage), BitmapOverlay(HeaderImage)));
    fixture.Patch(offsetof(TOverlayHeader, HeaderPictureType), std::uint8_t{4});
    fixture.Patch(offsetof(TOverlayHeader, TrailerPictureType), std::uint8_t{255});
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    EXPECT_EQ(overlay.HeaderPicture(), nullptr);
    EXPECT_EQ(overlay.TrailerPicture(), nullptr);
}

TEST(ScreenRecorderOverlayFile, SharedStartWithAnEmptyHeaderRangeGivesNeitherPicture) {
    TOverlayFixture fixture(Overlay({TOverlayPictureType::Bitmap, {}}));
    ASSERT_EQ(fixture.Layout.OverlayHeader.TrailerPictureStart,
              fixture.Layout.OverlayHeader.HeaderPictureStart);
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    EXPECT_TRUE(overlay.TrailerIsHeader());
    EXPECT_EQ(overlay.HeaderPicture(), nullptr);
    EXPECT_EQ(overlay.TrailerPicture(), nullptr);
}

TEST(ScreenRecorderOverlayFile, EmptyTrailerRangeOfTypeBitmapGivesNoTrailerPicture) {
    TOverlayFixture fixture(
        Overlay(BitmapOverlay(HeaderImage), TOverlayPicture{TOverlayPictureType::Bitmap, {}}));
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    EXPECT_FALSE(overlay.TrailerIsHeader());
    ASSERT_NE(overlay.HeaderPicture(), nullptr);
    EXPECT_EQ(overlay.TrailerPicture(), nullptr);
}

std::string OverlayError(TStream& stream) {
    try {
        TScreenRecorderOverlayFile overlay;
        overlay.LoadFromStream(stream);
    } catch (const EScreenRecorderOverlayFile& error) {
        return error.what();
    }
    return "no error";
}

TEST(ScreenRecorderOverlayFile, AnotherMagicIsAnInvalidFile) {
    TOverlayFixture fixture(Overlay(BitmapOverlay(HeaderImage)));
    fixture.Patch(6, '1'); // "FOVL1.1"
    EXPECT_EQ(OverlayError(fixture.Stream), "Invalid Screen Recorder File");
    EXPECT_EQ(std::string(sInvalidSRFile), "Invalid Screen Recorder File");
}

TEST(ScreenRecorderOverlayFile, BlockShorterThanItsHeaderIsAnInvalidFile) {
    TMemoryStream stream;
    stream.WriteBuffer(std::as_bytes(std::span(OverlayHeaderMagic)));
    stream.SetPosition(0);
    EXPECT_EQ(OverlayError(stream), "Invalid Screen Recorder File");
}

// Positions count from the block's start, not from the stream's.
TEST(ScreenRecorderOverlayFile, BlockInsideALargerStream) {
    TOverlayFixture fixture(
        Overlay(BitmapOverlay(HeaderImage), GifOverlay(), "http://example.org/"), 1000);
    ASSERT_GT(fixture.Base, 1000);
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(fixture.Stream);
    ASSERT_NE(overlay.HeaderPicture(), nullptr);
    EXPECT_EQ(overlay.HeaderPicture()->Image(), HeaderImage);
    EXPECT_NE(dynamic_cast<const TGifPicture*>(overlay.TrailerPicture()), nullptr);
    EXPECT_EQ(overlay.Link(), "http://example.org/");
}

TEST(ScreenRecorderOverlayFile, RangesOutsideTheStreamAreRefused) {
    struct TCase {
        std::size_t Field;
        std::int64_t Value;
    };
    const TCase cases[] = {
        {offsetof(TOverlayHeader, HeaderPictureEnd), std::int64_t{1} << 60},
        {offsetof(TOverlayHeader, HeaderPictureEnd), std::numeric_limits<std::int64_t>::max()},
        {offsetof(TOverlayHeader, HeaderPictureStart), -72},
        {offsetof(TOverlayHeader, HeaderPictureEnd), 10}, // end before start
        {offsetof(TOverlayHeader, TrailerPictureEnd), 1'000'000},
        {offsetof(TOverlayHeader, LinkStart), -5},
        {offsetof(TOverlayHeader, LinkStart), 1'000'000},
    };
    for (const TCase& c : cases) {
        TOverlayFixture fixture(
            Overlay(BitmapOverlay(HeaderImage), BitmapOverlay(HeaderImage), "http://example.org/"));
        fixture.Patch(c.Field, c.Value);
        EXPECT_EQ(OverlayError(fixture.Stream), "Invalid Screen Recorder File")
            << "field at " << c.Field << " = " << c.Value;
    }
}

TEST(ScreenRecorderOverlayFile, LinkLengthPastTheDataRaisesAStreamError) {
    TOverlayFixture fixture(Overlay({}, {}, "http://example.org/"));
    fixture.Patch(static_cast<std::size_t>(fixture.Layout.OverlayHeader.LinkStart),
                  std::uint16_t{500}); // the block and the trailer hold far fewer bytes
    TScreenRecorderOverlayFile overlay;
    EXPECT_THROW(overlay.LoadFromStream(fixture.Stream), EStreamError);
}

TEST(ScreenRecorderOverlayFile, UndecodablePictureRaisesThePictureErrorAndKeepsTheOldContent) {
    TOverlayFixture good(Overlay(BitmapOverlay(HeaderImage), {}, "http://a/"));
    TScreenRecorderOverlayFile overlay;
    overlay.LoadFromStream(good.Stream);

    TOverlayFixture bad(Overlay({TOverlayPictureType::Jpeg, test::Bytes(50, 7)}));
    EXPECT_THROW(overlay.LoadFromStream(bad.Stream), EPicture);
    ASSERT_NE(overlay.HeaderPicture(), nullptr);
    EXPECT_EQ(overlay.HeaderPicture()->Image(), HeaderImage);
    EXPECT_EQ(overlay.Link(), "http://a/");
}

TEST(Streamer, RecordsAndLengthPrefixedStrings) {
    TMemoryStream stream;
    WriteRecord(stream, std::int32_t{-7});
    WriteRecord(stream, std::uint16_t{3});
    stream.WriteBuffer(std::as_bytes(std::span(std::string_view("abcXYZ"))));
    WriteRecord(stream, std::uint16_t{0});
    WriteRecord(stream, std::uint16_t{9}); // more than remains
    stream.WriteBuffer(test::Bytes(4, 'q'));
    stream.SetPosition(0);

    TStreamer streamer(stream);
    EXPECT_EQ(streamer.Read<std::int32_t>(), -7);
    EXPECT_EQ(streamer.ReadString(), "abc");
    stream.Seek(3, TSeekOrigin::Current);
    EXPECT_EQ(streamer.ReadString(), "");
    EXPECT_THROW(streamer.ReadString(), EStreamError);
    std::int64_t big = 0;
    stream.SetPosition(stream.Size() - 2);
    EXPECT_FALSE(streamer.TryRead(big));
    stream.SetPosition(stream.Size() - 2);
    EXPECT_THROW(streamer.Read(big), EStreamError);
}

} // namespace
} // namespace vsr
