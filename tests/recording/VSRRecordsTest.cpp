#include "recording/VSRRecords.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

TEST(VSRRecordsTest, HeaderMagicComparesTheFirstSixBytesOnly) {
    TVSRHeader header{};
    header.Magic = MagicField<8>(VSRHeaderMagic);
    EXPECT_TRUE(HasVSRMagic(header));
    EXPECT_EQ(header.Magic[6], '\0');
    EXPECT_EQ(header.Magic[7], '\0');
    header.Magic[6] = 'x';
    header.Magic[7] = '\x7F';
    EXPECT_TRUE(HasVSRMagic(header));
    for (std::size_t i = 0; i < 6; ++i) {
        TVSRHeader altered = header;
        altered.Magic[i] ^= 0x20;
        EXPECT_FALSE(HasVSRMagic(altered)) << "byte " << i;
    }
}

TEST(VSRRecordsTest, OverlayMagicsCompareSevenAndNineBytes) {
    TOverlayHeader header{};
    header.Magic = MagicField<8>(OverlayHeaderMagic);
    header.Magic[7] = 'Z';
    EXPECT_TRUE(HasOverlayMagic(header));
    header.Magic[6] = '1';
    EXPECT_FALSE(HasOverlayMagic(header));

    TOverlayTrailer trailer{};
    trailer.Magic = MagicField<16>(OverlayTrailerMagic);
    for (std::size_t i = 9; i < 16; ++i) {
        EXPECT_EQ(trailer.Magic[i], '\0');
        trailer.Magic[i] = 'q';
    }
    EXPECT_TRUE(HasOverlayTrailerMagic(trailer));
    trailer.Magic[8] = '1';
    EXPECT_FALSE(HasOverlayTrailerMagic(trailer));
}

TEST(VSRRecordsTest, ReadRecordReportsAShortRead) {
    TMemoryStream stream;
    const TCursorEntry cursor{4711, 453, 436};
    WriteRecord(stream, cursor);
    stream.SetPosition(0);
    TCursorEntry back{};
    ASSERT_TRUE(ReadRecord(stream, back));
    EXPECT_EQ(back.Time, 4711u);
    EXPECT_EQ(back.X, 453);
    EXPECT_EQ(back.Y, 436);
    // little-endian on the wire: Time's low byte first
    EXPECT_EQ(stream.Memory()[0], std::byte{4711 & 0xFF});
    stream.SetPosition(1);
    EXPECT_FALSE(ReadRecord(stream, back));
}

} // namespace
} // namespace vsr
