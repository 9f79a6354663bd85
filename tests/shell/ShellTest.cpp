// Format, the language file and tracing.
#include "shell/Format.h"
#include "shell/LanguageFile.h"
#include "shell/PlayTimeText.h"
#include "support/CaptureTracer.h"
#include "support/ErrorOf.h"
#include "support/Files.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

TEST(Format, FollowsTheProgramsConventions) {
    const std::pair<std::string, std::string> cases[] = {
        // %d keeps 64-bit values whole.
        {Format("%d|%d|%d|%u|%.5d|%.3d", 5'000'000'000LL, INT64_MIN, 4'000'000'000u, -1, 42, -7),
         "5000000000|-9223372036854775808|4000000000|4294967295|00042|-007"},
        // Hexadecimal in upper case; negative 32-bit values as their 32-bit pattern.
        {Format("_%x_%x_%.4x|%x %x %x", 0x1a2bu, 0u, 0xfu, -1, -1LL, 0x123456789abcdefULL),
         "_1A2B_0_000F|FFFFFFFF FFFFFFFF 123456789ABCDEF"},
        // %n: thousands separators, two decimals unless told.
        {Format("%.2n|%.2n|%.2n|%.0n|%n|%n", 1234567.891, 999.999, -1234.5, 1000.0, 12.0, 1000ULL),
         "1,234,567.89|1,000.00|-1,234.50|1,000|12.00|1,000.00"},
        {Format("%.2n|%.3f|%f|%.f|%e|%g", 10'161'202LL, 3.14159, 2.0, 2.4, 1234.5, 0.5),
         "10,161,202.00|3.142|2.00|2|1.23450000000000E+003|0.5"},
        {Format("[%5d][%-5d][%*d][%8s][%-4s][%.3s]", 42, 42, 4, 7, "ab", "cd", "abcdef"),
         "[   42][42   ][   7][      ab][cd  ][abc]"},
        {Format("%s%c%s|100%%|%s|%p", std::string_view("ab"), 'c', 'd', std::string("e"),
                static_cast<const void*>(nullptr)),
         "abcd|100%|e|0000000000000000"},
        {Format("%1:s %0:s %s|%1:-3s|", "a", "b"), "b a b|b  |"}};
    for (const auto& [actual, expected] : cases)
        EXPECT_EQ(actual, expected);
    // A format that does not fit its arguments raises.
    for (const auto bad : {+[] { return Format("%d"); }, +[] { return Format("%d", "text"); },
                           +[] { return Format("%s", 12); }, +[] { return Format("%*d", "a", 1); },
                           +[] { return Format("%q", 12); }, +[] { return Format("end %", 1); }})
        EXPECT_THROW(bad(), EFormatError);
}

TEST(LanguageFile, ReadsTheEntriesOfOneSectionByTheProfileFileRules) {
    // Keys match without regard to case; blanks around them go; enclosing quotes go, then one
    // more pair of single ones; comments are skipped; the first entry wins; only the named
    // section counts; values are cut at 2047 bytes, leaving a two-byte character that crosses
    // the limit out whole.
    const std::string text = "\xEF\xBB\xBF[tsrplaybackdlg]\r\n  A  =  Play it  \r\nB='Play it'\n"
                             "C=\"mixed'\nD=''Play''\nE='It''s'\nF=''\nG=\nH='\nI=\"'x'\"\n"
                             "; J=c\n# J=c\nno equals\n=no key\nJ=first\nJ=second\nK=" +
                             std::string(3000, 'x') + "\nL=" + std::string(2046, 'y') +
                             "\xC3\xA9z\n[Other]\nM=late\n";
    const TLanguageFile file = TLanguageFile::Parse(text, "TSRPlaybackDlg");
    const std::pair<const char*, const char*> values[] = {
        {"a", "Play it"}, {"B", "Play it"}, {"c", "\"mixed'"}, {"d", "Play"},
        {"e", "It''s"},   {"f", ""},        {"g", ""},         {"h", "'"},
        {"i", "x"},       {"j", "first"},   {"m", ""}};
    for (const auto& [key, value] : values)
        EXPECT_EQ(file.Value(key), value) << key;
    EXPECT_EQ(file.Value("k"), std::string(2047, 'x'));
    EXPECT_EQ(file.Value("l"), std::string(2046, 'y'));
    EXPECT_TRUE(TLanguageFile::Parse("[Other]\nA=x\n", "TSRPlaybackDlg").Empty());
    EXPECT_EQ(BackquotesToLineBreaks("First`Second|End`"), "First\r\nSecond|End\r\n");
    // The file beside the program.
    EXPECT_EQ(LanguageFileName("/opt/v.1/player.exe"), "/opt/v.1/player.lng");
    test::TTempDir dir;
    EXPECT_TRUE(TLanguageFile::Load(dir.File("missing.lng"), "TSRPlaybackDlg").Empty());
    test::WriteFileBytes(dir.File("p.lng"),
                         test::Bytes("[TSRPlaybackDlg]\nLabel1Caption='Spielen'\n"));
    EXPECT_EQ(TLanguageFile::Load(dir.File("p.lng"), "TSRPlaybackDlg").Value("label1caption"),
              "Spielen");
}

// The debug channel is chosen once per process: each case runs this test in a child that
// traces through it, while the parent checks the lines of a sink of its own.
TEST(Trace, LinesReachTheSinkUnchangedAndTheDebugChannelWhereVsrTraceSays) {
    if (std::getenv("VSR_TEST_TRACE_CHILD")) {
        Trace(std::string_view("cut\0binary", 10)); // a mended fault: cut at the 0 byte
        return TraceFmt("%s %d", "second", 2);
    }
    test::TCaptureTracer capture;
    TraceFmt("downloaded %d bytes in %d ms -> new block size: %d", 4096, 12, 3413333);
    capture.SetEnabled(false);
    Trace("while disabled");
    EXPECT_EQ(capture.Lines(), std::vector<std::string>{
                                   "downloaded 4096 bytes in 12 ms -> new block size: 3413333"});
    auto previous = SetTracer(nullptr);
    EXPECT_EQ(test::ErrorOf<ETracer>([] { TraceFmt("%d", 1); }), "A TTracer is not initialized");
    SetTracer(std::move(previous));
    test::TTempDir dir;
    const std::string file = dir.File("trace.log");
    test::WriteFileBytes(file, test::Bytes("earlier\n"));
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", "", "earlier\n"},
        {"stderr", "cut\nsecond 2\n", "earlier\n"},
        {file, "", "earlier\ncut\nsecond 2\n"}};
    for (const auto& [target, stdErr, fileText] : cases) {
        const auto result = test::RunProcess(
            "/proc/self/exe", {"--gtest_filter=Trace.*"},
            {"VSR_TEST_TRACE_CHILD=1", "GCOV_ERROR_FILE=/dev/null", "VSR_TRACE=" + target});
        EXPECT_EQ(result.ExitCode, 0) << result.Out;
        EXPECT_EQ(result.Err, stdErr) << target;
        EXPECT_EQ(test::ReadFileBytes(file), test::Bytes(fileText)) << target;
    }
}

// What the "Go to time" box takes: {text, ms, or 0 with a word of the refusal}.
TEST(PlayTimeText, TakesTheThreeFormsAndRefusesEverythingElse) {
    const std::tuple<std::string_view, std::uint32_t, std::string_view> cases[] = {
        {"1:05:30", 3'930'000, ""},
        {" 5:30 ", 330'000, ""},
        {"330", 330'000, ""},
        {"12.5", 12'500, ""},
        {"0.125", 125, ""},
        {"90:00", 5'400'000, ""},
        {"999:59:59", 3'599'999'000, ""},
        {"", 0, "h:mm:ss"},
        {"-5", 0, "h:mm:ss"},
        {"1:5", 0, "h:mm:ss"},
        {"1:60", 0, "00 to 59"},
        {"1:00:60", 0, "00 to 59"},
        {"1:2:3:4", 0, "h:mm:ss"},
        {"5 min", 0, "h:mm:ss"},
        {"1.2345", 0, "h:mm:ss"},
        {"1:00.5", 0, "h:mm:ss"},
        {"1000:00:00", 0, "h:mm:ss"},
        {"9999999", 0, "too far"},
        {":30", 0, "h:mm:ss"},
    };
    for (const auto& [text, ms, refusal] : cases) {
        SCOPED_TRACE(text);
        const TPlayTimeText time = ParsePlayTime(text);
        if (refusal.empty()) {
            EXPECT_EQ(time.Ms, ms);
            EXPECT_EQ(time.Error, "");
        } else {
            EXPECT_FALSE(time.Ms);
            EXPECT_NE(time.Error.find(refusal), std::string::npos) << time.Error;
        }
    }
}

} // namespace
} // namespace vsr
