#include "platform/DesktopEntry.h"
#include "platform/MimeAppsList.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

TEST(DesktopEntry, ExecQuotesAndEscapesTheProgramPath) {
    EXPECT_EQ(ExecValue("/usr/bin/vsrplayer"), "/usr/bin/vsrplayer %u");
    EXPECT_EQ(ExecValue("/opt/a b/vsrplayer"), "\"/opt/a b/vsrplayer\" %u");
    // Inside quotes \ " ` $ get a backslash; the entry's own escaping doubles backslashes.
    EXPECT_EQ(ExecValue("/x/$HOME\"q`\\"), "\"/x/\\\\$HOME\\\\\"q\\\\`\\\\\\\\\" %u");
    EXPECT_EQ(ExecValue("/x/100%/p"), "/x/100%%/p %u");
}

TEST(DesktopEntry, CommentAndTypesSurviveAWriteAndARead) {
    const TPlayerDesktopEntry entry{"/p", "", "two\nlines \\ here", {"a/b", "c/d"}};
    const TPlayerDesktopEntry read = ParseDesktopEntry(FormatDesktopEntry(entry));
    EXPECT_EQ(read.Comment, entry.Comment);
    EXPECT_EQ(read.MimeTypes, entry.MimeTypes);
}

TEST(MimeAppsList, OurLineIsAddedWhereItBelongs) {
    EXPECT_EQ(WithDefaultHandler("", "a/b", "p.desktop"),
              "[Default Applications]\na/b=p.desktop;\n");
    EXPECT_EQ(
        WithDefaultHandler("[Default Applications]\nx/y=q\n\n[Other]\nk=v", "a/b", "p.desktop"),
        "[Default Applications]\nx/y=q\na/b=p.desktop;\n\n[Other]\nk=v\n");
    EXPECT_EQ(WithDefaultHandler("[Other]\na/b=q;\n", "a/b", "p.desktop"),
              "[Other]\na/b=q;\n\n[Default Applications]\na/b=p.desktop;\n");
    EXPECT_EQ(
        WithDefaultHandler("[Default Applications]\n a/b = q;p.desktop;r\n", "a/b", "p.desktop"),
        "[Default Applications]\na/b=p.desktop;q;r;\n");
}

TEST(MimeAppsList, RemovalTakesOnlyOurHandler) {
    const std::string text = "[Default Applications]\na/b=q;\nc/d=p.desktop;\n";
    EXPECT_EQ(WithoutDefaultHandler(text, "a/b", "p.desktop"), text);
    EXPECT_EQ(WithoutDefaultHandler(text, "e/f", "p.desktop"), text);
    EXPECT_EQ(WithoutDefaultHandler(text, "c/d", "p.desktop"), "[Default Applications]\na/b=q;\n");
    EXPECT_EQ(
        WithoutDefaultHandler("[Default Applications]\na/b=p.desktop;q\n", "a/b", "p.desktop"),
        "[Default Applications]\na/b=q;\n");
    // A line of the same type in another section is not ours.
    EXPECT_EQ(WithoutDefaultHandler("[Added Associations]\nc/d=p.desktop;\n", "c/d", "p.desktop"),
              "[Added Associations]\nc/d=p.desktop;\n");
    EXPECT_TRUE(IsEmptyMimeAppsList("[Default Applications]\n\n"));
    EXPECT_FALSE(IsEmptyMimeAppsList("[Default Applications]\n# note\n"));
}

} // namespace
} // namespace vsr
