#include "shell/Format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace vsr {
namespace {

TEST(Format, IntegersKeepTheirFullWidth) {
    const std::int64_t big = 5'000'000'000LL;
    EXPECT_EQ(Format("%d", big), "5000000000");
    EXPECT_EQ(Format("%d", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(Format("%d", std::uint32_t{4'000'000'000u}), "4000000000");
    EXPECT_EQ(Format("Next KeyFrame: %d -> %d", -1, 0), "Next KeyFrame: -1 -> 0");
    EXPECT_EQ(Format("%u", -1), "4294967295");
    EXPECT_EQ(Format("%.5d|%.3d", 42, -7), "00042|-007");
}

TEST(Format, HexIsUpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(Format("_%x_", 0x1a2bu), "_1A2B_");
    EXPECT_EQ(Format("%x", 0u), "0");
    EXPECT_EQ(Format("%x", -1), "FFFFFFFF");
    EXPECT_EQ(Format("%x", std::int64_t{-1}), "FFFFFFFF");
    EXPECT_EQ(Format("%x", std::uint64_t{0x123456789abcdefULL}), "123456789ABCDEF");
    EXPECT_EQ(Format("%.4x", 0xfu), "000F");
}

TEST(Format, NumbersWithThousandsSeparators) {
    EXPECT_EQ(Format("%.2n", 1234567.891), "1,234,567.89");
    EXPECT_EQ(Format("%.2n", 999.999), "1,000.00");
    EXPECT_EQ(Format("%.2n", -1234.5), "-1,234.50");
    EXPECT_EQ(Format("%.0n", 1000.0), "1,000");
    EXPECT_EQ(Format("%n", 12.0), "12.00");
    EXPECT_EQ(Format("%.2n", std::int64_t{10'161'202}), "10,161,202.00");
}

TEST(Format, FloatsAndWidths) {
    EXPECT_EQ(Format("%.3f", 3.14159), "3.142");
    EXPECT_EQ(Format("%f", 2.0), "2.00");
    EXPECT_EQ(Format("%e", 1234.5), "1.23450000000000E+003");
    EXPECT_EQ(Format("[%5d][%-5d]", 42, 42), "[   42][42   ]");
    EXPECT_EQ(Format("[%*d]", 4, 7), "[   7]");
    EXPECT_EQ(Format("[%8s][%-4s]", "ab", "cd"), "[      ab][cd  ]");
    EXPECT_EQ(Format("%.3s", "abcdef"), "abc");
}

TEST(Format, TextsCharactersAndLiterals) {
    const std::string link = "http://example.com/";
    EXPECT_EQ(Format("Call URL: %s", link), "Call URL: http://example.com/");
    EXPECT_EQ(Format("%s%c", std::string_view("ab"), 'c'), "abc");
    EXPECT_EQ(Format("100%% of %s", ""), "100% of ");
    EXPECT_EQ(Format("%1:s %0:s %s", "a", "b"), "b a b");
    EXPECT_EQ(Format("no directives"), "no directives");
}

TEST(Format, MismatchesRaise) {
    EXPECT_THROW(Format("%d"), EFormatError);
    EXPECT_THROW(Format("%d", "text"), EFormatError);
    EXPECT_THROW(Format("%s", 12), EFormatError);
    EXPECT_THROW(Format("%q", 12), EFormatError);
    EXPECT_THROW(Format("trailing %", 12), EFormatError);
    EXPECT_THROW(Format("%x", 1.5), EFormatError);
}

} // namespace
} // namespace vsr
