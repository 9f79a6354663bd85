// The player's start-up: the install switches, the self-playing player file, a player file
// without a recording, a file on the command line, and the language file on the window.
#include "gui/PlayerTestSupport.h"

#include "audio/SndKitLibrary.h"
#include "platform/Associations.h"
#include "player/PlayerStartUp.h"

#include <QAction>
#include <QApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

namespace vsr::test {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t cRed = 0xFF0000;
constexpr std::uint32_t cBlue = 0x0000FF;

class TScopedEnv {
public:
    TScopedEnv(const char* name, const std::string& value) : FName(name) {
        if (const char* old = std::getenv(name))
            FOld = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~TScopedEnv() {
        if (FOld)
            ::setenv(FName, FOld->c_str(), 1);
        else
            ::unsetenv(FName);
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    const char* FName;
    std::optional<std::string> FOld;
};

std::string ReadAll(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const std::string& file, const std::string& bytes) {
    std::ofstream(file, std::ios::binary) << bytes;
}

std::string LittleEndian32(std::uint32_t value) {
    std::string bytes(4, '\0');
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return bytes;
}

TRecordingContent SmallRecording() {
    TRecordingContent content;
    content.Width = 64;
    content.Height = 32;
    content.Pictures = {{0, TilePicture(2, 1, {cRed, cBlue})}};
    content.Cursors = {{5000, 16, 8}};
    content.SoundTrack = VoiceTrack(Tone(3000));
    return content;
}

// Registration goes to temporary user folders, without the desktop's database tools.
class PlayerStartUp : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        fs::create_directories(FBin);
    }
    void TearDown() override {
        FStarted.reset();
        PlayerTest::TearDown();
    }

    // A program file of some bytes, then optionally a recording and its length.
    std::string PlayerFile(const std::string& name, const std::string& recording) {
        const std::string file = FixtureFile(name);
        std::string bytes = "\x7F"
                            "ELF not really a program, only its bytes";
        if (!recording.empty())
            bytes += recording + LittleEndian32(static_cast<std::uint32_t>(recording.size()));
        WriteAll(file, bytes);
        return file;
    }

    TSRPlaybackDlg& Start(std::vector<std::string> arguments, const std::string& exePath) {
        FStarted = std::make_unique<TSRPlaybackDlg>(
            TPlayerStartUp{std::move(arguments), exePath, TStartUpMode::Program});
        FStarted->show();
        return *FStarted;
    }

    QAction* Entry(const char* name) {
        auto* action = FStarted->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name;
        return action;
    }
    QFrame* Panel(const char* name) { return FStarted->findChild<QFrame*>(name); }
    QTimer* StartedTimer(const char* name) { return FStarted->findChild<QTimer*>(name); }

    TTempDir FHome;
    std::string FBin = FHome.File("bin");
    TScopedEnv FDataEnv{"XDG_DATA_HOME", FHome.File("data")};
    TScopedEnv FConfigEnv{"XDG_CONFIG_HOME", FHome.File("config")};
    TScopedEnv FPathEnv{"PATH", FBin};
    std::unique_ptr<TSRPlaybackDlg> FStarted;
};

TEST_F(PlayerStartUp, SwitchesAreWholeArgumentsWithoutRegardToCase) {
    EXPECT_TRUE(HasSwitch({"x.vsr", "/UnInstall"}, "/uninstall"));
    EXPECT_FALSE(HasSwitch({"/uninstallnow"}, "/uninstall"));
    EXPECT_FALSE(HasSwitch({"uninstall"}, "/uninstall"));
    EXPECT_EQ(SourceArgument({"/DEBUG", "/tmp/a b.vsr", "c.vsr"}), "/tmp/a b.vsr");
    EXPECT_EQ(SourceArgument({"/install", "vsrfile://host/x.vsr"}), "vsrfile://host/x.vsr");
    EXPECT_EQ(SourceArgument({"/debug"}), "");
    EXPECT_EQ(RunInstallSwitches({"/debug", "x.vsr"}, "/opt/vsrplayer"), TSwitchAction::None);
    EXPECT_FALSE(fs::exists(PlayerDesktopFile()));
}

TEST_F(PlayerStartUp, InstallWritesTheRegistrationAndUninstallRemovesIt) {
    const std::string exe = "/opt/vsr/vsrplayer";
    EXPECT_EQ(RunInstallSwitches({"/INSTALL"}, exe), TSwitchAction::Installed);
    const std::string desktop = ReadAll(PlayerDesktopFile());
    EXPECT_NE(desktop.find(exe), std::string::npos) << desktop;
    EXPECT_NE(desktop.find("x-scheme-handler/vsrfile"), std::string::npos) << desktop;
    EXPECT_NE(ReadAll(MimeAppsListFile()).find("application/x-vsr"), std::string::npos);
    // The sound library is released before the switches run.
    EXPECT_EQ(SndKitLibrary().FileName(), "");

    EXPECT_EQ(RunInstallSwitches({"/uninstall", "/install"}, exe), TSwitchAction::Uninstalled);
    EXPECT_FALSE(fs::exists(PlayerDesktopFile()));
    EXPECT_EQ(ReadAll(MimeAppsListFile()).find("application/x-vsr"), std::string::npos);
}

TEST_F(PlayerStartUp, PackedPlayerPlaysAtOnceFullScreenAtNaturalSizeCentred) {
    const std::string recording = ReadAll(Write("r.vsr", SmallRecording(), ExactTiles()));
    const std::string exe = PlayerFile("packed", recording);
    TSRPlaybackDlg& window = Start({}, exe);
    ASSERT_TRUE(PumpUntil([&] { return window.Playing(); }));
    EXPECT_TRUE(FErrors.empty());
    EXPECT_TRUE(window.FullScreen());
    EXPECT_EQ(window.geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_TRUE(window.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(Panel("ControlsPanel")->isVisible());
    EXPECT_FALSE(Entry("MStretch")->isChecked());
    EXPECT_EQ(window.windowTitle().toStdString(), " Screen Recorder Playback");
    // The picture keeps its recorded size, in the middle of the play area.
    QWidget* play = Panel("PlayPanel");
    auto* box = window.findChild<QScrollArea*>("ScrollBox1");
    ASSERT_TRUE(PumpUntil([&] { return play->size() == QSize(64, 32); }));
    const QPoint centre = play->mapTo(box->viewport(), play->rect().center());
    EXPECT_NEAR(centre.x(), box->viewport()->rect().center().x(), 1);
    EXPECT_NEAR(centre.y(), box->viewport()->rect().center().y(), 1);
    // Started the normal way, the player registered itself.
    EXPECT_NE(ReadAll(PlayerDesktopFile()).find(exe), std::string::npos);
    EXPECT_TRUE(StartedTimer("Timer1")->isActive());

    // The copy lives while the player does and goes with it.
    const auto copies = TempFiles();
    const auto copy = std::ranges::find_if(
        copies, [](const std::string& name) { return name.starts_with("packed_"); });
    ASSERT_NE(copy, copies.end());
    EXPECT_TRUE(copy->ends_with("_.vsr"));
    FStarted->close();
    FStarted.reset();
    EXPECT_FALSE(fs::exists(FTemp->File(*copy)));
}

TEST_F(PlayerStartUp, PlayerWithoutRecordingOpensEmptyWithAHowToOpenText) {
    for (const std::string& trailer : {std::string{}, LittleEndian32(1u << 30)}) {
        const std::string exe = PlayerFile("empty", "");
        WriteAll(exe, ReadAll(exe) + trailer);
        TSRPlaybackDlg& window = Start({"/debug"}, exe);
        ASSERT_TRUE(PumpUntil([&] { return StartedTimer("Timer1")->isActive(); }));
        EXPECT_TRUE(FErrors.empty()) << FErrors.front();
        EXPECT_FALSE(window.HasRecording());
        auto* info = window.findChild<QLabel*>("InfoLabel");
        ASSERT_NE(info, nullptr);
        EXPECT_TRUE(info->isVisible());
        EXPECT_NE(info->text().indexOf("Open/Load New File"), -1);
        // The debug view: framed, controls shown, stretched.
        EXPECT_FALSE(window.FullScreen());
        EXPECT_TRUE(Panel("ControlsPanel")->isVisible());
        EXPECT_TRUE(Entry("MStretch")->isChecked());
        EXPECT_TRUE(TempFiles().empty());
    }
}

TEST_F(PlayerStartUp, DamagedAppendedRecordingIsReported) {
    std::string recording = ReadAll(Write("r.vsr", SmallRecording(), ExactTiles()));
    recording.resize(40);
    TSRPlaybackDlg& window = Start({}, PlayerFile("damaged", recording));
    ASSERT_TRUE(PumpUntil([&] { return !FErrors.empty(); }));
    EXPECT_FALSE(window.HasRecording());
    EXPECT_TRUE(StartedTimer("Timer1")->isActive());
}

TEST_F(PlayerStartUp, FileArgumentIsOpenedInsteadOfTheAppendedRecording) {
    const std::string file = Write("given.vsr", SmallRecording(), ExactTiles());
    TSRPlaybackDlg& window = Start({"/debug", file}, PlayerFile("plain", ""));
    ASSERT_TRUE(PumpUntil([&] { return window.Playing(); }));
    EXPECT_TRUE(FErrors.empty());
    EXPECT_EQ(window.findChild<QLabel*>("InfoLabel"), nullptr);

    Start({FixtureFile("missing.vsr")}, PlayerFile("plain2", ""));
    ASSERT_TRUE(PumpUntil([&] { return !FErrors.empty(); }));
    EXPECT_NE(FErrors.front().find("missing.vsr"), std::string::npos);
}

TEST_F(PlayerStartUp, LanguageFileTextsReachTheWindowAndItsMenu) {
    const std::string exe = PlayerFile("translated", "");
    WriteAll(FixtureFile("translated.lng"), "[TSRPlaybackDlg]\n"
                                            "MCloseCaption = 'Beenden'\n"
                                            "Label5Caption=\"Rechtsklick`fuer Menue\"\n"
                                            "MOpenCaption=\n");
    TSRPlaybackDlg& window = Start({"/debug"}, exe);
    EXPECT_EQ(Entry("MClose")->text().toStdString(), "Beenden");
    EXPECT_EQ(window.findChild<QLabel*>("Label5")->text().toStdString(),
              "Rechtsklick\r\nfuer Menue");
    EXPECT_EQ(Entry("MOpen")->text().toStdString(), "Open/Load New File");
}

TEST_F(PlayerStartUp, MenuEntriesAndTheirStates) {
    TSRPlaybackDlg& window = Start({"/debug"}, PlayerFile("menu", ""));
    auto* menu = window.findChild<QMenu*>("TePopupMenu1");
    ASSERT_NE(menu, nullptr);
    for (const char* hidden : {"MMaximize", "MRestore", "MStretch"}) {
        EXPECT_FALSE(Entry(hidden)->isVisible()) << hidden;
        EXPECT_FALSE(Entry(hidden)->isEnabled()) << hidden;
    }
    for (const char* shown :
         {"MTrackBarVisible", "MMinimizetoTaskbar", "MOpen", "MOpenURL", "MClose"})
        EXPECT_TRUE(Entry(shown)->isVisible() && Entry(shown)->isEnabled()) << shown;

    // The check mark follows the panel when the menu opens.
    Panel("ControlsPanel")->hide();
    emit menu->aboutToShow();
    EXPECT_FALSE(Entry("MTrackBarVisible")->isChecked());
    Entry("MTrackBarVisible")->trigger();
    EXPECT_TRUE(Panel("ControlsPanel")->isVisible());

    // Full screen once; the saved view is not overwritten by a second call.
    Entry("MMaximize")->setEnabled(true);
    Entry("MMaximize")->trigger();
    Pump(20);
    EXPECT_TRUE(window.FullScreen());
    EXPECT_EQ(window.geometry(), QGuiApplication::primaryScreen()->geometry());

    Entry("MClose")->trigger();
    ASSERT_TRUE(PumpUntil([&] { return !window.isVisible(); }));
}

TEST_F(PlayerStartUp, ControlsToggleByDoubleClickReCentresThePicture) {
    const std::string exe =
        PlayerFile("toggle", ReadAll(Write("r.vsr", SmallRecording(), ExactTiles())));
    TSRPlaybackDlg& window = Start({}, exe);
    ASSERT_TRUE(PumpUntil([&] { return window.Playing(); }));
    QWidget* play = Panel("PlayPanel");
    auto* box = window.findChild<QScrollArea*>("ScrollBox1");
    auto centreOffset = [&] {
        Pump(30);
        return play->mapTo(box->viewport(), play->rect().center()) -
               box->viewport()->rect().center();
    };
    ASSERT_LE(centreOffset().manhattanLength(), 2);
    const int heightBefore = box->viewport()->height();
    QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(5, 5), play->mapToGlobal(QPointF(5, 5)),
                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(play, &dbl);
    EXPECT_TRUE(Panel("ControlsPanel")->isVisible());
    EXPECT_LT(box->viewport()->height(), heightBefore + 1);
    EXPECT_LE(centreOffset().manhattanLength(), 2);
    QApplication::sendEvent(play, &dbl);
    EXPECT_FALSE(Panel("ControlsPanel")->isVisible());
    EXPECT_LE(centreOffset().manhattanLength(), 2);
}

} // namespace
} // namespace vsr::test
