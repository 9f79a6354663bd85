#include "recording/ZCompressionStream.h"
#include "recording/ZDecompressionStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vsr {
namespace {

// Half noise, half runs: compressible but not trivially.
std::vector<std::byte> Sample(std::size_t size) {
    std::vector<std::byte> bytes(size);
    std::uint32_t state = 12345;
    for (std::size_t i = 0; i < size; ++i) {
        state = state * 1103515245u + 12345u;
        bytes[i] = std::byte(i % 512 < 256 ? state >> 24 : i / 512);
    }
    return bytes;
}

void Compress(TStream& target, std::span<const std::byte> bytes) {
    TZCompressionStream compressor(target);
    compressor.WriteBuffer(bytes);
    compressor.Finish();
}

std::vector<std::byte> ReadAll(TStream& packed, std::int64_t from, std::size_t limit) {
    packed.SetPosition(from);
    TZDecompressionStream source(packed);
    std::vector<std::byte> result(limit);
    result.resize(source.Read(result));
    return result;
}

TEST(ZStreamTest, RoundTripWithDefaultLevelHeaderAndCountsDelivered) {
    const auto original = Sample(300000); // larger than the input blocks
    TMemoryStream packed;
    Compress(packed, original);
    EXPECT_EQ(packed.Memory()[0], std::byte{0x78});
    EXPECT_EQ(packed.Memory()[1], std::byte{0x9C});

    packed.SetPosition(0);
    TZDecompressionStream unpacked(packed);
    std::vector<std::byte> all(1000);
    ASSERT_EQ(unpacked.Read(all), all.size());
    EXPECT_EQ(unpacked.TotalOut(), 1000);
    EXPECT_EQ(unpacked.Position(), 1000);
    std::vector<std::byte> rest(original.size()); // more than is left
    rest.resize(unpacked.Read(rest));
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_EQ(all, original);
    EXPECT_EQ(unpacked.TotalOut(), static_cast<std::int64_t>(original.size()));
    std::byte more[4];
    EXPECT_EQ(unpacked.Read(more), 0u);
}

TEST(ZStreamTest, StopsAtTheEndOfItsOwnStreamAndShortSourceIsAShortRead) {
    const auto one = Sample(5000);
    const std::vector<std::byte> two(700, std::byte{9});
    TMemoryStream packed;
    Compress(packed, one);
    const std::int64_t secondStart = packed.Position();
    Compress(packed, two);
    EXPECT_EQ(ReadAll(packed, 0, 100000), one);
    EXPECT_EQ(ReadAll(packed, secondStart, 100000), two);

    const auto large = Sample(100000);
    TMemoryStream cut;
    Compress(cut, large);
    cut.SetSize(cut.Size() / 2);
    const auto got = ReadAll(cut, 0, large.size());
    ASSERT_LT(got.size(), large.size());
    EXPECT_TRUE(std::equal(got.begin(), got.end(), large.begin()));
}

TEST(ZStreamTest, DamagedDataRaisesTheDamagedDataError) {
    using TDamage = void (*)(std::span<std::byte>);
    const TDamage damages[] = {
        [](std::span<std::byte> m) { m[1] = std::byte{0x00}; },      // header check
        [](std::span<std::byte> m) { m[2] = std::byte{0xFF}; },      // block type 3 does not exist
        [](std::span<std::byte> m) { m.back() ^= std::byte{0x55}; }, // checksum
    };
    for (const TDamage damage : damages) {
        TMemoryStream packed;
        Compress(packed, Sample(20000));
        damage(packed.Memory());
        try {
            ReadAll(packed, 0, 1 << 20);
            ADD_FAILURE() << "damaged data was accepted";
        } catch (const EZDecompressionError& error) {
            EXPECT_NE(std::string(error.what()).find("damaged"), std::string::npos) << error.what();
        }
    }
}

} // namespace
} // namespace vsr
