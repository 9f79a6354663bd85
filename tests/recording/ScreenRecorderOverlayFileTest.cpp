#include "recording/ScreenRecorderOverlayFile.h"
#include "support/Pictures.h"
#include "support/Recordings.h"
#include "recording/BitmapPicture.h"
#include "recording/GifPicture.h"
#include "recording/JpegPicture.h"
#include "recording/ScreenRecorderFileWriter.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>
#include <utility>

namespace vsr {
namespace {

const auto HeaderImage = test::PatternPicture(13, 7, 4);
const std::string Invalid = "Invalid Screen Recorder File";

TOverlayPicture BitmapOverlay() {
    return {TOverlayPictureType::Bitmap, test::BitmapFileOf(HeaderImage)};
}

TOverlayPicture GifOverlay() {
    test::TGifFileSpec spec{3, 2, 0, {0x102030, 0x405060}, {}};
    spec.Images.push_back({0, 0, 3, 2, false, -1, {}, {0, 1, 1, 0, 1, 0}});
    return {TOverlayPictureType::Gif, test::GifFile(spec)};
}

TRecordingOverlay Overlay(TOverlayPicture header, std::optional<TOverlayPicture> trailer = {},
                          std::string link = {}, std::int32_t headerDelay = 0,
                          std::int32_t trailerDelay = 0) {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = std::move(header);
    overlay.TrailerPicture = std::move(trailer);
    overlay.Link = std::move(link);
    overlay.HeaderDelaySeconds = headerDelay;
    overlay.TrailerDelaySeconds = trailerDelay;
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

    template <typename TValue> TOverlayFixture& Patch(std::size_t fieldOffset, TValue value) {
        Stream.SetPosition(Base + static_cast<std::int64_t>(fieldOffset));
        WriteRecord(Stream, value);
        Stream.SetPosition(Base);
        return *this;
    }

    std::unique_ptr<TScreenRecorderOverlayFile> Load() {
        auto overlay = std::make_unique<TScreenRecorderOverlayFile>();
        overlay->LoadFromStream(Stream);
        return overlay;
    }

    std::string Error() {
        try {
            Load();
        } catch (const EScreenRecorderOverlayFile& error) {
            return error.what();
        }
        return "no error";
    }
};

// One stored picture for both roles, as in the usual recording: the trailer is a copy.
TEST(ScreenRecorderOverlayFile, SharedPictureDelaysAndLink) {
    const auto overlay =
        TOverlayFixture(Overlay(BitmapOverlay(), {}, "http://example.org/after-the-show", 5, 7))
            .Load();
    ASSERT_NE(overlay->HeaderPicture(), nullptr);
    ASSERT_NE(overlay->TrailerPicture(), nullptr);
    EXPECT_TRUE(overlay->TrailerIsHeader());
    EXPECT_NE(overlay->HeaderPicture(), overlay->TrailerPicture());
    EXPECT_NE(dynamic_cast<const TBitmapPicture*>(overlay->TrailerPicture()), nullptr);
    EXPECT_EQ(overlay->HeaderPicture()->Image(), HeaderImage);
    EXPECT_EQ(overlay->TrailerPicture()->Image(), HeaderImage);
    EXPECT_EQ(overlay->HeaderDelay(), 5);
    EXPECT_EQ(overlay->TrailerDelay(), 7);
    EXPECT_EQ(overlay->Link(), "http://example.org/after-the-show");

    // The shared picture is taken whatever the trailer's type code says.
    const auto retyped = TOverlayFixture(Overlay(BitmapOverlay()))
                             .Patch(offsetof(TOverlayHeader, TrailerPictureType), std::uint8_t{2})
                             .Load();
    ASSERT_NE(retyped->TrailerPicture(), nullptr);
    EXPECT_EQ(retyped->TrailerPicture()->Image(), HeaderImage);
}

// Positions count from the block's start, not from the stream's.
TEST(ScreenRecorderOverlayFile, DifferentPicturesOfEachKindInsideALargerStream) {
    const auto trailerImage = test::SmoothPicture(40, 24);
    TOverlayFixture fixture(Overlay(GifOverlay(), TOverlayPicture{TOverlayPictureType::Jpeg,
                                                                  test::JpegFileOf(trailerImage)}),
                            1000);
    const auto overlay = fixture.Load();
    EXPECT_FALSE(overlay->TrailerIsHeader());
    ASSERT_NE(dynamic_cast<const TGifPicture*>(overlay->HeaderPicture()), nullptr);
    ASSERT_NE(dynamic_cast<const TJpegPicture*>(overlay->TrailerPicture()), nullptr);
    EXPECT_EQ(overlay->HeaderPicture()->Image().At(1, 0), 0x405060u);
    EXPECT_LE(test::MaxChannelDifference(overlay->TrailerPicture()->Image(), trailerImage), 12);
    EXPECT_TRUE(overlay->Link().empty());
}

TEST(ScreenRecorderOverlayFile, RangesAndTypesThatGiveNoPicture) {
    // Types 0 with stored bytes and a link: no pictures, but the link.
    auto overlay =
        TOverlayFixture(Overlay({TOverlayPictureType::None, test::Bytes(40, 1)},
                                TOverlayPicture{TOverlayPictureType::None, test::Bytes(30, 2)},
                                "vsrfile://host/next.vsr"))
            .Load();
    EXPECT_EQ(overlay->HeaderPicture(), nullptr);
    EXPECT_EQ(overlay->TrailerPicture(), nullptr);
    EXPECT_EQ(overlay->Link(), "vsrfile://host/next.vsr");

    // Unknown type codes.
    overlay = TOverlayFixture(Overlay(BitmapOverlay(), BitmapOverlay()))
                  .Patch(offsetof(TOverlayHeader, HeaderPictureType), std::uint8_t{4})
                  .Patch(offsetof(TOverlayHeader, TrailerPictureType), std::uint8_t{255})
                  .Load();
    EXPECT_EQ(overlay->HeaderPicture(), nullptr);
    EXPECT_EQ(overlay->TrailerPicture(), nullptr);

    // The shared start with an empty header range.
    TOverlayFixture shared(Overlay({TOverlayPictureType::Bitmap, {}}));
    ASSERT_EQ(shared.Layout.OverlayHeader.TrailerPictureStart,
              shared.Layout.OverlayHeader.HeaderPictureStart);
    overlay = shared.Load();
    EXPECT_TRUE(overlay->TrailerIsHeader());
    EXPECT_EQ(overlay->HeaderPicture(), nullptr);
    EXPECT_EQ(overlay->TrailerPicture(), nullptr);

    // An empty trailer range of type 1.
    overlay =
        TOverlayFixture(Overlay(BitmapOverlay(), TOverlayPicture{TOverlayPictureType::Bitmap, {}}))
            .Load();
    EXPECT_FALSE(overlay->TrailerIsHeader());
    EXPECT_NE(overlay->HeaderPicture(), nullptr);
    EXPECT_EQ(overlay->TrailerPicture(), nullptr);
}

TEST(ScreenRecorderOverlayFile, BadMagicShortBlockAndRangesOutsideTheStreamAreInvalid) {
    EXPECT_EQ(TOverlayFixture(Overlay(BitmapOverlay())).Patch(6, '1').Error(), Invalid); // FOVL1.1

    TOverlayFixture shortBlock(Overlay(BitmapOverlay()));
    shortBlock.Stream.SetSize(shortBlock.Base + 7); // only the magic
    EXPECT_EQ(shortBlock.Error(), Invalid);

    const std::pair<std::size_t, std::int64_t> cases[] = {
        {offsetof(TOverlayHeader, HeaderPictureEnd), std::int64_t{1} << 60},
        {offsetof(TOverlayHeader, HeaderPictureEnd), std::numeric_limits<std::int64_t>::max()},
        {offsetof(TOverlayHeader, HeaderPictureStart), -72},
        {offsetof(TOverlayHeader, HeaderPictureEnd), 10}, // end before start
        {offsetof(TOverlayHeader, TrailerPictureEnd), 1'000'000},
        {offsetof(TOverlayHeader, LinkStart), -5},
        {offsetof(TOverlayHeader, LinkStart), 1'000'000},
    };
    for (const auto& [field, value] : cases) {
        TOverlayFixture fixture(Overlay(BitmapOverlay(), BitmapOverlay(), "http://example.org/"));
        EXPECT_EQ(fixture.Patch(field, value).Error(), Invalid) << field << " = " << value;
    }
}

TEST(ScreenRecorderOverlayFile, UnreadableLinkOrPictureRaisesAndKeepsTheOldContent) {
    TOverlayFixture longLink(Overlay({}, {}, "http://example.org/"));
    // The block and the trailer hold far fewer bytes than the length says.
    longLink.Patch(static_cast<std::size_t>(longLink.Layout.OverlayHeader.LinkStart),
                   std::uint16_t{500});
    EXPECT_THROW(longLink.Load(), EStreamError);

    const auto overlay = TOverlayFixture(Overlay(BitmapOverlay(), {}, "http://a/")).Load();
    TOverlayFixture bad(Overlay({TOverlayPictureType::Jpeg, test::Bytes(50, 7)}));
    EXPECT_THROW(overlay->LoadFromStream(bad.Stream), EPicture);
    ASSERT_NE(overlay->HeaderPicture(), nullptr);
    EXPECT_EQ(overlay->HeaderPicture()->Image(), HeaderImage);
    EXPECT_EQ(overlay->Link(), "http://a/");
}

} // namespace
} // namespace vsr
