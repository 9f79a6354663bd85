#include "recording/ZCompressionStream.h"
#include "recording/ZDecompressionStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vsr {
namespace {

std::vector<std::byte> Sample(std::size_t size) {
    std::vector<std::byte> bytes(size);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        // Half noise, half runs: compressible but not trivially.
        bytes[i] = std::byte(i % 512 < 256 ? static_cast<std::uint8_t>(state >> 24)
                                           : static_cast<std::uint8_t>(i / 512));
    }
    return bytes;
}

void Compress(TStream& target, std::span<const std::byte> bytes) {
    TZCompressionStream compressor(target);
    compressor.WriteBuffer(bytes);
    compressor.Finish();
}

std::vector<std::byte> ReadAll(TZDecompressionStream& source, std::size_t limit) {
    std::vector<std::byte> result(limit);
    result.resize(source.Read(result));
    return result;
}

TEST(ZStreamTest, RoundTripWithDefaultLevelHeaderAndCountsDelivered) {
    const auto original = Sample(300000); // larger than the input blocks
    TMemoryStream packed;
    Compress(packed, original);
    ASSERT_GE(packed.Size(), 2);
    EXPECT_EQ(packed.Memory()[0], std::byte{0x78});
    EXPECT_EQ(packed.Memory()[1], std::byte{0x9C});

    packed.SetPosition(0);
    TZDecompressionStream unpacked(packed);
    std::vector<std::byte> first(1000);
    ASSERT_EQ(unpacked.Read(first), first.size());
    EXPECT_EQ(unpacked.TotalOut(), 1000);
    EXPECT_EQ(unpacked.Position(), 1000);
    auto rest = ReadAll(unpacked, original.size()); // asks for more than is left
    first.insert(first.end(), rest.begin(), rest.end());
    EXPECT_EQ(first, original);
    EXPECT_EQ(unpacked.TotalOut(), static_cast<std::int64_t>(original.size()));
    std::byte more[4];
    EXPECT_EQ(unpacked.Read(more), 0u);
}

TEST(ZStreamTest, StopsAtTheEndOfItsOwnStream) {
    const auto one = Sample(5000);
    const std::vector<std::byte> two(700, std::byte{9});
    TMemoryStream packed;
    Compress(packed, one);
    const std::int64_t secondStart = packed.Position();
    Compress(packed, two);

    packed.SetPosition(0);
    TZDecompressionStream first(packed);
    EXPECT_EQ(ReadAll(first, 100000), one);
    packed.SetPosition(secondStart);
    TZDecompressionStream second(packed);
    EXPECT_EQ(ReadAll(second, 100000), two);
}

TEST(ZStreamTest, SourceEndingEarlyIsAShortReadNotAnError) {
    const auto original = Sample(100000);
    TMemoryStream packed;
    Compress(packed, original);
    packed.SetSize(packed.Size() / 2);
    packed.SetPosition(0);
    TZDecompressionStream unpacked(packed);
    const auto got = ReadAll(unpacked, original.size());
    ASSERT_LT(got.size(), original.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), original.begin()));
}

void ExpectDamaged(TMemoryStream& packed) {
    packed.SetPosition(0);
    TZDecompressionStream unpacked(packed);
    std::vector<std::byte> buffer(1 << 20);
    try {
        unpacked.Read(buffer);
        FAIL() << "damaged data was accepted";
    } catch (const EZDecompressionError& error) {
        EXPECT_NE(std::string(error.what()).find("damaged"), std::string::npos) << error.what();
    }
}

TEST(ZStreamTest, DamagedDataRaisesTheDamagedDataError) {
    const auto original = Sample(20000);
    TMemoryStream badHeader;
    Compress(badHeader, original);
    badHeader.Memory()[1] = std::byte{0x00};
    ExpectDamaged(badHeader);

    TMemoryStream badBlock;
    Compress(badBlock, original);
    badBlock.Memory()[2] = std::byte{0xFF}; // block type 3 does not exist
    ExpectDamaged(badBlock);

    TMemoryStream badCheck;
    Compress(badCheck, original);
    badCheck.Memory()[static_cast<std::size_t>(badCheck.Size()) - 1] ^= std::byte{0x55};
    ExpectDamaged(badCheck);
}

TEST(ZStreamTest, DirectionsThatMakeNoSenseRaise) {
    TMemoryStream packed;
    TZCompressionStream compressor(packed);
    std::byte one[1]{};
    EXPECT_THROW(compressor.Read(one), EStreamError);
    compressor.Finish();
    EXPECT_THROW(compressor.Write(one), EZCompressionError);
    packed.SetPosition(0);
    TZDecompressionStream unpacked(packed);
    EXPECT_THROW(unpacked.Write(one), EStreamError);
    EXPECT_THROW(unpacked.Seek(5, TSeekOrigin::Begin), EStreamError);
}

} // namespace
} // namespace vsr
