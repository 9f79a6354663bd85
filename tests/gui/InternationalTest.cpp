#include "player/International.h"
#include "support/TempDir.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

#include <gtest/gtest.h>

#include <fstream>

namespace vsr::test {

// A window shaped like the player's: named parts inside a panel, a menu with actions.
class TSRPlaybackDlg : public QWidget {
    Q_OBJECT

public:
    TSRPlaybackDlg() {
        setObjectName("SRPlaybackDlg");
        setWindowTitle("Designed");
        auto* panel = new QWidget(this);
        panel->setObjectName("PlayerPanel");
        PlayButton = Named(new QPushButton("Play", panel), "PlayButton");
        PlayButton->setToolTip("Play Current Loaded File");
        Label1 = Named(new QLabel("Play", panel), "Label1");
        Label5 = Named(new QLabel("Right-click for menu options.", this), "Label5");
        Menu = Named(new QMenu("Menu", this), "TePopupMenu1");
        MOpen = Named(new QAction("Open/Load New File", this), "MOpen");
        Menu->addAction(MOpen);
        Unnamed = new QLabel("unnamed", this);
        Modes = Named(new QComboBox(this), "Modes");
        Modes->addItems({"One", "Two"});
        International1 = new TInternational(this);
    }

    template <typename T> static T* Named(T* object, const char* name) {
        object->setObjectName(name);
        return object;
    }

    QPushButton* PlayButton;
    QLabel* Label1;
    QLabel* Label5;
    QMenu* Menu;
    QAction* MOpen;
    QLabel* Unnamed;
    QComboBox* Modes;
    TInternational* International1;
};

class TDerivedDlg : public TSRPlaybackDlg {
    Q_OBJECT
};

class International : public ::testing::Test {
protected:
    TTempDir FDir;
    std::string FFile = FDir.File("vsrplayer.lng");

    void Write(const std::string& text) { std::ofstream(FFile, std::ios::binary) << text; }
    // Writes one entry in the window's section and translates a new window with it.
    std::unique_ptr<TSRPlaybackDlg> With(const std::string& entries) {
        Write("[TSRPlaybackDlg]\n" + entries);
        auto dlg = std::make_unique<TSRPlaybackDlg>();
        dlg->International1->Loaded(FFile);
        return dlg;
    }
};

TEST_F(International, WithoutALanguageFileTheDesignedTextsStay) {
    TSRPlaybackDlg dlg;
    bool raised = false;
    dlg.International1->OnInternationalize = [&](TInternational&) { raised = true; };
    dlg.International1->Loaded(FFile);
    EXPECT_FALSE(raised);
    EXPECT_EQ(dlg.PlayButton->toolTip(), "Play Current Loaded File");
    EXPECT_EQ(dlg.windowTitle(), "Designed");
    EXPECT_TRUE(dlg.International1->FileName().empty());
}

TEST_F(International, KeysAreNamePlusPropertyWhateverTheirCase) {
    EXPECT_EQ(With("PlayButtonHint='Play it'\n")->PlayButton->toolTip(), "Play it");
    EXPECT_EQ(With("playbuttonhint=Play it\n")->PlayButton->toolTip(), "Play it");
    auto dlg = With("Label1Caption=Spielen\nPlayButtonCaption=Los\nMOpenCaption=Oeffnen\n"
                    "TePopupMenu1Caption=Menue\nMOpenHint=Datei\nModesItems1=Zwei\n");
    EXPECT_EQ(dlg->Label1->text(), "Spielen");
    EXPECT_EQ(dlg->PlayButton->text(), "Los");
    EXPECT_EQ(dlg->MOpen->text(), "Oeffnen");
    EXPECT_EQ(dlg->MOpen->toolTip(), "Datei");
    EXPECT_EQ(dlg->Menu->title(), "Menue");
    EXPECT_EQ(dlg->Modes->itemText(0), "One");
    EXPECT_EQ(dlg->Modes->itemText(1), "Zwei");
}

TEST_F(International, EmptyValuesChangeNothing) {
    auto dlg = With("PlayButtonHint=''\nLabel1Caption=\nLabel5Caption=\"\"\n");
    EXPECT_EQ(dlg->PlayButton->toolTip(), "Play Current Loaded File");
    EXPECT_EQ(dlg->Label1->text(), "Play");
    EXPECT_EQ(dlg->Label5->text(), "Right-click for menu options.");
}

TEST_F(International, BackquotesBreakLinesAndDoubledQuotesStay) {
    auto dlg = With("Label1Caption=First`Second\nLabel5Caption=Ends`\nPlayButtonHint='It''s'\n");
    EXPECT_EQ(dlg->Label1->text(), "First\r\nSecond");
    EXPECT_EQ(dlg->Label5->text(), "Ends\r\n");
    EXPECT_EQ(dlg->PlayButton->toolTip(), "It''s");
}

TEST_F(International, TheWindowCaptionIsTranslatedBeforeStartUpSetsItsOwn) {
    auto dlg = With("SRPlaybackDlgCaption=Translated\n");
    EXPECT_EQ(dlg->windowTitle(), "Translated");
    // Start-up code runs after the translation and sets the caption itself.
    dlg->setWindowTitle(" Screen Recorder Playback");
    EXPECT_EQ(dlg->windowTitle(), " Screen Recorder Playback");
}

TEST_F(International, NamesAndOtherSectionsAreLeftAlone) {
    Write("[Other]\nLabel1Caption=other\n[TSRPlaybackDlg]\nPlayButtonObjectName=Renamed\n"
          "PlayButtonName=Renamed\nCaption=unnamed\nText=unnamed\nSRPlaybackDlgStyleSheet=x\n"
          "PlayerPanelCaption=panel\n[Late]\nLabel5Caption=late\n");
    TSRPlaybackDlg dlg;
    dlg.International1->Loaded(FFile);
    EXPECT_EQ(dlg.PlayButton->objectName(), "PlayButton");
    EXPECT_EQ(dlg.Label1->text(), "Play");
    EXPECT_EQ(dlg.Label5->text(), "Right-click for menu options.");
    EXPECT_EQ(dlg.Unnamed->text(), "unnamed");
    EXPECT_TRUE(dlg.styleSheet().isEmpty());
    EXPECT_EQ(dlg.International1->Section(), "TSRPlaybackDlg");
    EXPECT_EQ(dlg.International1->FileName(), FFile);
}

TEST_F(International, AncestorSectionsComeFirstWhenAskedFor) {
    Write("[TSRPlaybackDlg]\nLabel1Caption=base\nLabel5Caption=base\n"
          "[TDerivedDlg]\nLabel1Caption=derived\n");
    TDerivedDlg plain;
    plain.International1->Loaded(FFile);
    EXPECT_EQ(plain.Label1->text(), "derived");
    EXPECT_EQ(plain.Label5->text(), "Right-click for menu options.");

    TDerivedDlg both;
    both.International1->TranslateAncestors = TAncestorTexts::Translate;
    int events = 0;
    both.International1->OnInternationalize = [&](TInternational&) { events += 1; };
    both.International1->OnInternationalized = [&](TInternational&) { events += 10; };
    both.International1->Loaded(FFile);
    EXPECT_EQ(both.Label1->text(), "derived");
    EXPECT_EQ(both.Label5->text(), "base");
    EXPECT_EQ(events, 11);
}

TEST_F(International, AutoTranslateOffKeepsTheDesign) {
    Write("[TSRPlaybackDlg]\nLabel1Caption=x\n");
    TSRPlaybackDlg dlg;
    dlg.International1->AutoTranslate = false;
    dlg.International1->Loaded(FFile);
    EXPECT_EQ(dlg.Label1->text(), "Play");
}

} // namespace vsr::test

#include "InternationalTest.moc"
