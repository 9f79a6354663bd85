// Format, the language file and tracing.
#include "shell/Format.h"
#include "shell/LanguageFile.h"
#include "shell/Trace.h"
#include "support/CaptureTracer.h"
#include "support/Files.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>

namespace vsr {
namespace {

TEST(Format, FollowsTheProgramsConventions) {
    const std::pair<std::string, std::string> cases[] = {
        // %d keeps 64-bit values whole.
        {Format("%d", std::int64_t{5'000'000'000LL}), "5000000000"},
        {Format("%d", std::numeric_limits<std::int64_t>::min()), "-9223372036854775808"},
        {Format("%d", std::uint32_t{4'000'000'000u}), "4000000000"},
        {Format("Next KeyFrame: %d -> %d", -1, 0), "Next KeyFrame: -1 -> 0"},
        {Format("%u|%.5d|%.3d", -1, 42, -7), "4294967295|00042|-007"},
        // Hexadecimal in upper case; negative 32-bit values as their 32-bit pattern.
        {Format("_%x_%x_%.4x", 0x1a2bu, 0u, 0xfu), "_1A2B_0_000F"},
        {Format("%x %x %x", -1, std::int64_t{-1}, std::uint64_t{0x123456789abcdefULL}),
         "FFFFFFFF FFFFFFFF 123456789ABCDEF"},
        // %n: thousands separators, two decimals unless told.
        {Format("%.2n|%.2n", 1234567.891, 999.999), "1,234,567.89|1,000.00"},
        {Format("%.2n|%.0n|%n", -1234.5, 1000.0, 12.0), "-1,234.50|1,000|12.00"},
        {Format("%.2n|%n", std::int64_t{10'161'202}, std::uint64_t{1000}),
         "10,161,202.00|1,000.00"},
        {Format("%.3f|%f|%.f|%e|%g", 3.14159, 2.0, 2.4, 1234.5, 0.5),
         "3.142|2.00|2|1.23450000000000E+003|0.5"},
        {Format("[%5d][%-5d][%*d]", 42, 42, 4, 7), "[   42][42   ][   7]"},
        {Format("[%8s][%-4s][%.3s]", "ab", "cd", "abcdef"), "[      ab][cd  ][abc]"},
        {Format("Call URL: %s", std::string("http://a.example/")), "Call URL: http://a.example/"},
        {Format("%s%c%s|100%%", std::string_view("ab"), 'c', 'd'), "abcd|100%"},
        {Format("%1:s %0:s %s|%1:-3s|", "a", "b"), "b a b|b  |"},
        {Format("%p", static_cast<const void*>(nullptr)), "0000000000000000"},
    };
    for (const auto& [actual, expected] : cases)
        EXPECT_EQ(actual, expected);
    // A format that does not fit its arguments raises.
    EXPECT_THROW(Format("%d"), EFormatError);
    EXPECT_THROW(Format("%d", "text"), EFormatError);
    EXPECT_THROW(Format("%s", 12), EFormatError);
    EXPECT_THROW(Format("%*d", "wide", 1), EFormatError);
    EXPECT_THROW(Format("%q", 12), EFormatError);
    EXPECT_THROW(Format("trailing %", 12), EFormatError);
}

TEST(LanguageFile, ReadsTheEntriesOfOneSectionByTheProfileFileRules) {
    const std::string dlg = "[TSRPlaybackDlg]\n";
    const std::pair<std::string, std::string> cases[] = {
        {dlg + "Key='Play it'\n", "Play it"},
        {"[tsrplaybackdlg]\r\n  KEY  =  Play it  \r\n", "Play it"},
        {dlg + "Key=\"mixed'\n", "\"mixed'"},
        {dlg + "Key=''Play''\n", "Play"},
        {dlg + "Key='It''s'\n", "It''s"},
        {dlg + "Key=''\n", ""},
        {dlg + "Key=\n", ""},
        {dlg + "Key='\n", "'"},
        {dlg + "Key=\"'x'\"\n", "x"},
        // Only the named section counts; comments are skipped; the first entry wins.
        {"Key=no section\n[Other]\nKey=other\n" + dlg +
             "; Key=c\n# Key=c\nno equals\n=no key\nKey=first\nKey=second\n",
         "first"},
        {"[Other]\nKey=x\n" + dlg + "Other=x\n[Other]\nKey=late\n", ""},
        {"\xEF\xBB\xBF" + dlg + "Key=bom\n", "bom"},
        // Cut at 2047 bytes, leaving a two-byte character that crosses the limit out whole.
        {dlg + "Key=" + std::string(3000, 'x'), std::string(2047, 'x')},
        {dlg + "Key=" + std::string(2046, 'y') + "\xC3\xA9z\n", std::string(2046, 'y')},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(TLanguageFile::Parse(text, "TSRPlaybackDlg").Value("key"), expected)
            << text.substr(0, 80);
    EXPECT_TRUE(TLanguageFile::Parse("[Other]\nA=x\n", "TSRPlaybackDlg").Empty());
    EXPECT_EQ(BackquotesToLineBreaks("First`Second|End`"), "First\r\nSecond|End\r\n");
    // The file beside the program.
    EXPECT_EQ(LanguageFileName("/opt/v.1/player.exe"), "/opt/v.1/player.lng");
    test::TTempDir dir;
    EXPECT_TRUE(TLanguageFile::Load(dir.File("missing.lng"), "TSRPlaybackDlg").Empty());
    test::WriteFileBytes(dir.File("p.lng"), test::Bytes(dlg + "Label1Caption='Spielen'\n"));
    EXPECT_EQ(TLanguageFile::Load(dir.File("p.lng"), "TSRPlaybackDlg").Value("label1caption"),
              "Spielen");
}

TEST(Trace, LinesReachAnEnabledSinkUnchangedAndWithoutASinkETracerIsRaised) {
    test::TCaptureTracer capture;
    TraceFmt("downloaded %d bytes in %d ms -> new block size: %d", 4096, 12, 3413333);
    capture.SetEnabled(false);
    Trace("while disabled");
    capture.SetEnabled(true);
    TraceFmt("size %d", std::int64_t{3'000'000'000LL});
    EXPECT_EQ(capture.Lines(),
              (std::vector<std::string>{"downloaded 4096 bytes in 12 ms -> new block size: 3413333",
                                        "size 3000000000"}));
    auto previous = SetTracer(nullptr);
    EXPECT_THROW(TraceFmt("%d", 1), ETracer);
    try {
        Trace("lost");
        ADD_FAILURE() << "no error";
    } catch (const ETracer& e) {
        EXPECT_STREQ(e.what(), "A TTracer is not initialized");
    }
    SetTracer(std::move(previous));
}

// The channel is chosen once per process: each case runs this test in a child that only traces.
TEST(Trace, TheDebugChannelGoesWhereVsrTraceSaysAndCutsLinesAtAZeroByte) {
    if (std::getenv("VSR_TEST_TRACE_CHILD")) {
        Trace(std::string_view("cut\0binary", 10));
        return TraceFmt("%s %d", "second", 2);
    }
    test::TTempDir dir;
    const std::string file = dir.File("trace.log");
    test::WriteFileBytes(file, test::Bytes("earlier\n"));
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "", "earlier\n"},
        {"stderr", "cut\nsecond 2\n", "earlier\n"},
        {file, "", "earlier\ncut\nsecond 2\n"},
    };
    for (const auto& [target, stdErr, fileText] : cases) {
        const auto result = test::RunProcess(
            std::filesystem::read_symlink("/proc/self/exe"),
            {"--gtest_filter=Trace.TheDebugChannel*"},
            {"VSR_TEST_TRACE_CHILD=1", "GCOV_ERROR_FILE=/dev/null", "VSR_TRACE=" + target});
        EXPECT_EQ(result.ExitCode, 0) << result.Out;
        EXPECT_EQ(result.Err, stdErr) << target;
        EXPECT_EQ(test::ReadFileBytes(file), test::Bytes(fileText)) << target;
    }
}

} // namespace
} // namespace vsr
