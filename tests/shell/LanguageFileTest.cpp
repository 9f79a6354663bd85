#include "shell/LanguageFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vsr {
namespace {

TLanguageFile Dlg(std::string_view text) {
    return TLanguageFile::Parse(text, "TSRPlaybackDlg");
}

TEST(LanguageFile, KeysIgnoreCaseAndBlanksAndOnePairOfQuotes) {
    EXPECT_EQ(Dlg("[TSRPlaybackDlg]\nPlayButtonHint='Play it'\n").Value("PlayButtonHint"),
              "Play it");
    EXPECT_EQ(Dlg("[tsrplaybackdlg]\r\n  playbuttonhint  =  Play it  \r\n").Value("PlayButtonHint"),
              "Play it");
    EXPECT_EQ(Dlg("[TSRPlaybackDlg]\nA=\"Quoted\"\nB=\"mixed'\n").Value("a"), "Quoted");
    EXPECT_EQ(Dlg("[TSRPlaybackDlg]\nB=\"mixed'\n").Value("B"), "\"mixed'");
}

TEST(LanguageFile, TheSingleQuoteRuleFollowsTheQuotePair) {
    const TLanguageFile file =
        Dlg("[TSRPlaybackDlg]\nA='Play'\nB=''Play''\nC='It''s'\nD=''\nE=\nF='\nG=\"'x'\"\n");
    EXPECT_EQ(file.Value("A"), "Play");
    EXPECT_EQ(file.Value("B"), "Play");
    EXPECT_EQ(file.Value("C"), "It''s");
    EXPECT_EQ(file.Value("D"), "");
    EXPECT_EQ(file.Value("E"), "");
    EXPECT_EQ(file.Value("F"), "'");
    EXPECT_EQ(file.Value("G"), "x");
    EXPECT_EQ(file.Value("Missing"), "");
}

TEST(LanguageFile, OnlyTheNamedSectionCountsAndTheFirstEntryWins) {
    const TLanguageFile file = Dlg("A=before any section\n[Other]\nA=other\n[TSRPlaybackDlg]\n"
                                   "; A=comment\n# A=comment\nno equals sign\n=no key\n"
                                   "A=first\nA=second\n[Other]\nB=late\n");
    EXPECT_EQ(file.Value("A"), "first");
    EXPECT_EQ(file.Value("B"), "");
    EXPECT_EQ(file.Value(""), "");
    EXPECT_TRUE(Dlg("[Other]\nA=x\n").Empty());
}

TEST(LanguageFile, ValuesAreCutAtTheLimitWithoutSplittingACharacter) {
    const std::string longValue(3000, 'x');
    EXPECT_EQ(Dlg("[TSRPlaybackDlg]\nA=" + longValue + "\n").Value("A").size(),
              TLanguageFile::MaxValueLength);
    // A two-byte character across the limit is left out whole.
    const std::string accented = std::string(2046, 'y') + "\xC3\xA9" + "z";
    EXPECT_EQ(Dlg("[TSRPlaybackDlg]\nA=" + accented + "\n").Value("A"), std::string(2046, 'y'));
    EXPECT_EQ(Dlg("\xEF\xBB\xBF[TSRPlaybackDlg]\nA=bom\n").Value("A"), "bom");
}

TEST(LanguageFile, BackquotesBecomeLineBreaks) {
    EXPECT_EQ(BackquotesToLineBreaks("First`Second"), "First\r\nSecond");
    EXPECT_EQ(BackquotesToLineBreaks("End`"), "End\r\n");
    EXPECT_EQ(BackquotesToLineBreaks("plain"), "plain");
}

TEST(LanguageFile, FileNameAndLoading) {
    EXPECT_EQ(LanguageFileName("/opt/vsr/vsrplayer"), "/opt/vsr/vsrplayer.lng");
    EXPECT_EQ(LanguageFileName("/opt/v.1/player.exe"), "/opt/v.1/player.lng");
    test::TTempDir dir;
    EXPECT_TRUE(TLanguageFile::Load(dir.File("missing.lng"), "TSRPlaybackDlg").Empty());
    std::ofstream(dir.File("p.lng")) << "[TSRPlaybackDlg]\nLabel1Caption='Spielen'\n";
    EXPECT_EQ(TLanguageFile::Load(dir.File("p.lng"), "TSRPlaybackDlg").Value("label1caption"),
              "Spielen");
}

} // namespace
} // namespace vsr
