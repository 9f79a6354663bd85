// The language file beside the program applied to the player window, and to a window derived
// from it.
#include "player/International.h"
#include "player/SRPlaybackDlg.h"
#include "support/TempDir.h"

#include <QAction>

#include <gtest/gtest.h>

#include <fstream>

namespace vsr::test {

// A window class of its own, whose base class has a section too.
class TDerivedDlg : public TSRPlaybackDlg {
    Q_OBJECT

public:
    using TSRPlaybackDlg::TSRPlaybackDlg;
};

// One entry in the window's section, and the text it leaves on a part of the window.
TEST(International, TheLanguageFileBesideThePlayerSetsItsTexts) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"PlayButtonHint='Play it'", "PlayButton", "toolTip", "Play it"},
        {"playbuttonhint = Play it", "PlayButton", "toolTip", "Play it"},
        {"Label1Caption=First`Second", "Label1", "text", "First\r\nSecond"},
        {"Label5Caption=\"Ends`\"", "Label5", "text", "Ends\r\n"},
        {"PlayButtonHint='It''s'", "PlayButton", "toolTip", "It''s"},
        {"MOpenCaption=\"\"\nLabel1Caption=\nPlayButtonHint=''", "MOpen", "text",
         "Open/Load New File"},
        {"SRPlaybackDlgCaption=Translated", "", "windowTitle", " Screen Recorder Playback"},
        {"PlayButtonObjectName=Renamed\nPlayButtonStyleSheet=x", "PlayButton", "styleSheet", ""},
        {"[Other]\nLabel1Caption=other", "Label1", "text", "Play"}};
    TTempDir folder;
    for (const auto& [entries, name, property, text] : cases) {
        std::ofstream(folder.File("vsrplayer.lng")) << "[TSRPlaybackDlg]\n" << entries << "\n";
        TSRPlaybackDlg window({{"/debug"}, folder.File("vsrplayer"), TStartUpMode::WindowOnly});
        QObject* part = *name ? window.findChild<QObject*>(name) : &window;
        ASSERT_NE(part, nullptr) << entries << ": names are never translated";
        EXPECT_EQ(part->property(property).toString().toStdString(), text) << entries;
    }
}

// With TranslateAncestors the base class's section is read first, so that the window's own
// entries win.
TEST(International, BaseSectionsComeFirstWhenAskedFor) {
    TTempDir folder;
    std::ofstream(folder.File("vsrplayer.lng"))
        << "[TSRPlaybackDlg]\nMOpenCaption=Base\nMCloseCaption=Base\n"
        << "[TDerivedDlg]\nMCloseCaption=Own\n";
    TDerivedDlg window({{"/debug"}, folder.File("vsrplayer"), TStartUpMode::WindowOnly});
    const auto text = [&](const char* name) { return window.findChild<QAction*>(name)->text(); };
    auto* texts = window.findChild<TInternational*>("International1");
    texts->TranslateAncestors = TAncestorTexts::Translate;
    window.findChild<QAction*>("MOpen")->setText("");
    texts->Translate();
    EXPECT_EQ(text("MOpen") + text("MClose"), "BaseOwn");
}

} // namespace vsr::test

#include "InternationalTest.moc"
