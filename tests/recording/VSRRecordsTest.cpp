#include "recording/VSRRecords.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

TEST(VSRRecordsTest, OverlayMagicsCompareSevenAndNineBytes) {
    TOverlayHeader overlay{};
    overlay.Magic = MagicField<8>(OverlayHeaderMagic);
    overlay.Magic[7] = 'Z';
    EXPECT_TRUE(HasOverlayMagic(overlay));
    overlay.Magic[6] = '1';
    EXPECT_FALSE(HasOverlayMagic(overlay));

    TOverlayTrailer trailer{};
    trailer.Magic = MagicField<16>(OverlayTrailerMagic);
    for (std::size_t i = 9; i < 16; ++i)
        trailer.Magic[i] = 'q';
    EXPECT_TRUE(HasOverlayTrailerMagic(trailer));
    trailer.Magic[8] = '1';
    EXPECT_FALSE(HasOverlayTrailerMagic(trailer));
}

TEST(VSRRecordsTest, ReadRecordIsLittleEndianAndReportsAShortRead) {
    TMemoryStream stream;
    WriteRecord(stream, TCursorEntry{4711, 453, 436});
    EXPECT_EQ(stream.Memory()[0], std::byte{4711 & 0xFF});
    stream.SetPosition(0);
    TCursorEntry back{};
    ASSERT_TRUE(ReadRecord(stream, back));
    EXPECT_EQ(back.Time, 4711u);
    EXPECT_EQ(back.X, 453);
    EXPECT_EQ(back.Y, 436);
    stream.SetPosition(1);
    EXPECT_FALSE(ReadRecord(stream, back));
}

} // namespace
} // namespace vsr
