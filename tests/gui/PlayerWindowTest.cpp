// The player window: its start-up (the install switches, the source it opens: the file
// argument, else the recording appended to the program file; its two views), the panel painted
// with black bars and the cursor, the open dialog and the header picture, refused files,
// recordings one after another, the pointer, its hint and the menu over the picture, the
// language file's texts, and the player run as a program.
#include "gui/PlayerTestSupport.h"

#include "app/About.h"
#include "controls/PlayTrackBar.h"
#include "platform/Associations.h"
#include "platform/TextFiles.h"
#include "player/International.h"
#include "render/CursorPicture.h"
#include "support/RunProcess.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>

#include <csignal>
#include <cstring>
#include <fstream>

namespace vsr::test {

static bool Mentions(const std::string& file, const std::string& text) {
    return ReadTextFile(file).value_or("").find(text) != std::string::npos;
}

// Registration goes to private XDG folders, without the desktop's database tools on the PATH.
class PlayerStartUp : public PlayerTest {
protected:
    // A program file: some bytes, then the recording and its 32-bit length.
    std::string Program(std::vector<std::byte> recording) {
        Put(recording, static_cast<std::uint32_t>(recording.size()));
        recording.insert(recording.begin(), 16, std::byte{0x7F});
        WriteFileBytes(FFixtures.File("program"), recording);
        return FFixtures.File("program");
    }

    TXdgHome FHome;
    TEnvScope FPath{"PATH", FHome.Home.File("bin")};
};

TEST_F(PlayerStartUp, SwitchesAreWholeArgumentsAndInstallWritesWhatUninstallRemoves) {
    EXPECT_TRUE(HasSwitch({"x.vsr", "/UnInstall"}, "/uninstall"));
    EXPECT_FALSE(HasSwitch({"/uninstallnow", "uninstall", "-uninstall"}, "/uninstall"));
    EXPECT_EQ(SourceArgument({"/DEBUG", "", "/Install", "/tmp/a b.vsr", "c.vsr"}), "/tmp/a b.vsr");
    EXPECT_EQ(SourceArgument({"FILE:///tmp/a%20b%C3%A9.vsr"}), "/tmp/a bé.vsr");
    EXPECT_EQ(SourceArgument({"vsrfile://host/a%20b.vsr"}), "vsrfile://host/a%20b.vsr");
    EXPECT_EQ(RunInstallSwitches({"/debug", "x.vsr"}, "/opt/vsr"), TSwitchAction::None);
    EXPECT_FALSE(std::filesystem::exists(PlayerDesktopFile()));
    EXPECT_EQ(RunInstallSwitches({"/INSTALL"}, "/opt/vsr/player"), TSwitchAction::Installed);
    EXPECT_TRUE(Mentions(PlayerDesktopFile(), "/opt/vsr/player") &&
                Mentions(PlayerDesktopFile(), "x-scheme-handler/vsrfile"));
    EXPECT_EQ(SndKitLibrary().FileName(), "") << "the sound library is released first";
    EXPECT_EQ(RunInstallSwitches({"/uninstall", "/install"}, ""), TSwitchAction::Uninstalled);
    EXPECT_FALSE(std::filesystem::exists(PlayerDesktopFile()));
}

TEST_F(PlayerStartUp, PackedPlayerPlaysFullScreenCentredAndTheControlsToggleReCentres) {
    const std::string exe = Program(ReadFileBytes(Write("r.vsr", RedAndBlue())));
    TSRPlaybackDlg& window = Start({{}, exe});
    ASSERT_TRUE(PumpUntil([&] { return window.Playing(); }));
    EXPECT_EQ(window.geometry(), QGuiApplication::primaryScreen()->geometry());
    EXPECT_TRUE(window.FullScreen() && window.windowFlags() & Qt::FramelessWindowHint &&
                !Find<QAction>("MStretch")->isChecked());
    EXPECT_TRUE(Mentions(PlayerDesktopFile(), exe)) << "registered at every start";
    // The picture keeps its size, centred; a double-click on it toggles the controls.
    QWidget* play = Find("PlayPanel");
    QWidget* view = Find<QScrollArea>("ScrollBox1")->viewport();
    ASSERT_TRUE(PumpUntil([&] { return play->size() == QSize(64, 32); }));
    for (const bool controls : {false, true, false}) {
        PumpFor(30ms);
        EXPECT_EQ(Find("ControlsPanel")->isVisible(), controls);
        const QPoint offset = play->mapTo(view, play->rect().center()) - view->rect().center();
        EXPECT_LE(offset.manhattanLength(), 2) << controls;
        QMouseEvent doubleClick(QEvent::MouseButtonDblClick, {5, 5}, {5, 5}, Qt::LeftButton,
                                Qt::LeftButton, {});
        QApplication::sendEvent(play, &doubleClick);
    }
    EXPECT_EQ(TempFiles(), 2u) << "the voice track and the extracted copy";
    FWindow.reset();
    EXPECT_TRUE(TempFiles() == 0 && FErrors.empty()) << "the copy goes with the player";
}

// A program file without a recording opens empty with a hint, a damaged one is reported; the
// pointer watch starts in every case.
TEST_F(PlayerStartUp, TheSourceIsTheFileArgumentElseTheAppendedRecording) {
    const std::string file = Write("given.vsr", RedAndBlue());
    std::vector<std::byte> damaged = ReadFileBytes(file);
    damaged.resize(40);
    // Without a recording the program file ends in a length of 0.
    const std::tuple<std::string, std::vector<std::byte>, std::string> cases[] = {
        {"", {}, ""}, {"", damaged, "Invalid Screen Recorder File"}, {file, {}, ""}};
    for (const auto& [argument, recording, error] : cases) {
        SCOPED_TRACE(argument + error);
        FErrors.clear();
        TSRPlaybackDlg& window = Start({{"/debug", argument}, Program(recording)});
        ASSERT_TRUE(PumpUntil([&] { return Active("Timer1"); }));
        EXPECT_EQ(window.Playing(), !argument.empty());
        EXPECT_EQ(FErrors, error.empty() ? std::vector<std::string>{} : std::vector{error});
        const auto* info = window.findChild<QLabel*>("InfoLabel");
        const bool empty = argument.empty() && error.empty();
        EXPECT_EQ(info && info->isVisible() && info->text().contains("Open/Load New File"), empty);
        EXPECT_EQ(info == nullptr, !argument.empty()) << "removed once a recording opened";
        EXPECT_EQ(TempFiles(), empty ? 0u : 1u);
        // The debug view: framed, controls shown, picture stretched.
        EXPECT_TRUE(!window.FullScreen() && Find("ControlsPanel")->isVisible() &&
                    Find<QAction>("MStretch")->isChecked());
    }
}

// The pointer's timers are ticked directly instead of waited for.
class PlayerWindow : public PlayerTest {
protected:
    void Mouse(QEvent::Type type, QPoint at) {
        const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent event(type, at, at, button, button, {});
        QApplication::sendEvent(Find("PlayPanel"), &event);
    }
    void Point(QPoint at) { QCursor::setPos(Find("PlayPanel")->mapToGlobal(at)); }
};

// The largest channel difference of two 0xRRGGBB colours.
int ChannelDifference(std::uint32_t a, std::uint32_t b) {
    int difference = 0;
    for (const int shift : {0, 8, 16})
        difference = std::max(difference, std::abs(static_cast<int>((a >> shift) & 0xFF) -
                                                   static_cast<int>((b >> shift) & 0xFF)));
    return difference;
}

// The 2:1 picture fitted into panels of other shapes; the cursor (at 16, 8) scales with it and
// the bars cover what of it lies outside the picture. Enlarged pictures are filtered: a pixel
// amid a recorded pixel takes at most a quarter of its neighbours.
TEST_F(PlayerWindow, PanelShowsThePictureFittedWithBlackBarsAndTheCursor) {
    ASSERT_TRUE(Window().OpenRecording(Write("wide.vsr", RedAndBlue())));
    ASSERT_TRUE(PumpUntil([&] { return Pixel(40, 0) == cBlue; }));
    QWidget* panel = Find("PlayPanel");
    HideControls();
    const TCursorPicture& cursor = TCursorPicture::Instance();
    for (const auto& [size, picture] : {std::pair(QSize(257, 201), QRect(0, 36, 256, 128)),
                                        std::pair(QSize(301, 97), QRect(54, 0, 192, 96))}) {
        Window().resize(Window().size() - panel->size() + size);
        ASSERT_TRUE(PumpUntil([&] { return panel->size() == size; }));
        const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const auto at = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFFu; };
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                ASSERT_TRUE(picture.contains(x, y) || at(x, y) == 0) << "bar at " << x << "," << y;
        const int scale = picture.width() / 64;
        constexpr int cFilterBlend = 0x100 / 4;
        for (int y = 0, cy = -8; y < 32; ++y, ++cy)
            for (int x = 0, cx = -16; x < 64; ++x, ++cx) {
                const bool onCursor = cx >= 0 && cx < 32 && cy >= 0 && !cursor.Transparent(cx, cy);
                ASSERT_LE(ChannelDifference(at(picture.left() + x * scale + scale / 2,
                                               picture.top() + y * scale + scale / 2),
                                            onCursor ? cursor.Pixels()[cy * 32 + cx] & 0xFFFFFFu
                                                     : (x < 32 ? cRed : cBlue)),
                          cFilterBlend)
                    << "recorded pixel " << x << "," << y << " at scale " << scale;
            }
    }
}

// At natural size the picture is copied 1:1, its last column and row included (mended: it was
// drawn one pixel smaller, losing both).
TEST_F(PlayerWindow, AtNaturalSizeThePictureIsCopiedWhole) {
    Start({{}, "", TStartUpMode::WindowOnly});
    ASSERT_TRUE(Window().OpenRecording(Write("wide.vsr", RedAndBlue())));
    QWidget* panel = Find("PlayPanel");
    ASSERT_TRUE(PumpUntil([&] { return Pixel(40, 0) == cBlue && panel->size() == QSize(64, 32); }));
    const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(std::tuple(shot.pixel(63, 31) & 0xFFFFFFu, shot.pixel(0, 31) & 0xFFFFFFu),
              std::tuple(cBlue, cRed));
}

// The header picture shows for its delay with the jumps disabled; while it shows, the pointer
// is not hidden again after the dialog. To Begin shows the start's time and thumb during the
// header (mended: they kept the old position until the header was over).
TEST_F(PlayerWindow, TheOpenDialogOpensTheChosenRecordingAndItsHeaderShowsFirst) {
    TRecordingContent content = RedAndBlue();
    content.Overlay = SolidOverlay(cGreen, cBlue, 3, "");
    const std::string file = Write("chosen.vsr", content);
    QTimer::singleShot(50, [&] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->defaultSuffix() == "vsr" &&
                    dialog->nameFilters() ==
                        QStringList({"Screen Recorder Files (*.vsr)", "All files (*.*)"}));
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(file));
        QMetaObject::invokeMethod(dialog, "accept");
    });
    Click("LoadButton");
    EXPECT_TRUE(Buttons() == cHeader && !Active("HideMouseTimer"));
    EXPECT_EQ(Find<QTimer>("HeaderDelayTimer")->interval(), 3000);
    // The 16 x 8 header centred on white: (24, 12) to (40, 20).
    EXPECT_EQ(std::tuple(Pixel(0, 0), Pixel(24, 12), Pixel(39, 19), Pixel(40, 19), Pixel(24, 20)),
              std::tuple(cWhite, cGreen, cGreen, cWhite, cWhite));
    Click("PauseButton");
    Click("FFWButton");
    EXPECT_TRUE(Buttons() == cHeader && !Window().Playing()) << "disabled buttons do nothing";
    Fire("HeaderDelayTimer");
    EXPECT_EQ(Buttons(), cPlaying);
    EXPECT_TRUE(PumpUntil([&] { return Pixel(0, 0) == cRed; }));
    auto* bar = Find<TPlayTrackBar>("AudioTrackBar");
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 1100 && bar->Position() > 16000; }));
    Fire("UpdateTimer");
    Click("ToStartButton");
    EXPECT_EQ(std::tuple(Buttons(), bar->Position(), Find<QLabel>("TimeLabel")->text()),
              std::tuple(std::string(cHeader), 0, QString("0:00:00 / 0:00:03")));
}

// A second recording while one plays: the first is closed with its voice track, the second
// starts from 0. A file that cannot be opened is refused and closes the current one.
TEST_F(PlayerWindow, OpeningClosesTheCurrentRecordingAndLeavesNoTemporaryFile) {
    ASSERT_TRUE(Window().OpenRecording(Write("one.vsr", RedAndBlue())));
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 100; }));
    const std::string firstVoice = Window().AudioFile();
    TRecordingContent second = Solid({}, 1000, 96, 32);
    second.Pictures = {{0, WithRect(TScreenPicture(96, 32, cGreen), 64, 0, 32, 32, cBlue)}};
    ASSERT_TRUE(Window().OpenRecording(Write("second.vsr", second)));
    EXPECT_TRUE(TempFiles() == 1 && !std::filesystem::exists(firstVoice));
    EXPECT_TRUE(Window().Bitmap()->Width() == 96 && Window().PlayTime() < 100);
    ASSERT_TRUE(PumpUntil([&] { return Pixel(70, 10) == cBlue; }));
    const std::string junk = FFixtures.File("junk.vsr"), none = FTemp.File("none.vsr");
    WriteFileBytes(junk, Bytes(300, 0x41));
    const std::pair<std::string, std::string> cases[] = {
        {junk, "Invalid Screen Recorder File"},
        {none, "File " + none + " not found."},
        {Write("mute.vsr", {64, 32, {{0, TScreenPicture(64, 32, cRed)}}, {}, {}, {}}),
         "Invalid SPX file"}};
    for (const auto& [file, error] : cases) {
        FErrors.clear();
        EXPECT_FALSE(Window().OpenRecording(file));
        EXPECT_EQ(FErrors, std::vector{error});
        EXPECT_FALSE(Window().HasRecording() || Window().Bitmap() || TempFiles());
        EXPECT_TRUE(Buttons() == cNoRecording && Find("LoadButton")->isEnabled());
        // Mended: the closed recording's bar and times stayed on screen.
        const auto* bar = Find<TPlayTrackBar>("AudioTrackBar");
        EXPECT_TRUE(bar->Intervals().Empty() && bar->Position() == 0 &&
                    Find<QLabel>("TimeLabel")->text().isEmpty());
    }
}

// The hint shows on the first real move once armed, stays inside the panel and goes on a press.
TEST_F(PlayerWindow, TheHintAndThePointerOverThePictureAndTheMenu) {
    QWidget* hint = Find("HintPanel");
    Point({30, 20});
    Mouse(QEvent::MouseMove, {50, 40});
    EXPECT_FALSE(hint->isVisible()) << "not armed before Timer1";
    Fire("Timer1");
    Mouse(QEvent::MouseMove, {50, 40});
    Mouse(QEvent::MouseMove, {60, 60});
    EXPECT_EQ(hint->geometry(), QRect(50, 40, 185, 41)) << "at the first move";
    EXPECT_TRUE(hint->isVisible() && Active("Timer2") && !Active("Timer1") &&
                !Active("HideMouseTimer"));
    Fire("Timer2"); // stores the pointer's position
    EXPECT_TRUE(!hint->isVisible() && !Active("Timer2") && Active("Timer1") &&
                Active("HideMouseTimer"));
    Fire("Timer1");
    Mouse(QEvent::MouseMove, {30, 20});
    EXPECT_FALSE(hint->isVisible()) << "a move to the stored position is no move";
    const QPoint corner(Find("PlayPanel")->width() - 1, Find("PlayPanel")->height() - 1);
    Mouse(QEvent::MouseMove, corner - QPoint(1, 0));
    EXPECT_EQ(hint->geometry().bottomRight(), corner) << "inside the panel";
    Mouse(QEvent::MouseButtonPress, {20, 20});
    EXPECT_TRUE(!hint->isVisible() && Active("Timer1"));
    // The right-click menu: while it is open the pointer is never hidden. Its check mark follows
    // the controls panel; its entries toggle the controls, minimise and close the window.
    Point({-50, -50});
    Fire("HideMouseTimer");
    EXPECT_TRUE(Window().CursorShown() && Active("HideMouseTimer"));
    auto* menu = Find<QMenu>("TePopupMenu1");
    Find("ControlsPanel")->hide();
    Point({100, 100});
    QContextMenuEvent rightClick(QContextMenuEvent::Mouse, {100, 100}, {100, 100});
    QApplication::sendEvent(Find("PlayPanel"), &rightClick);
    ASSERT_TRUE(PumpUntil([&] { return menu->isVisible(); }));
    Fire("HideMouseTimer");
    EXPECT_TRUE(Window().CursorShown() && !Window().OutsideMenu());
    EXPECT_FALSE(Find<QAction>("MTrackBarVisible")->isChecked());
    menu->hide();
    Point({100, 100});
    Fire("HideMouseTimer");
    EXPECT_FALSE(Window().CursorShown() || Active("HideMouseTimer") || !Window().OutsideMenu());
    EXPECT_EQ(Find("PlayPanel")->cursor().shape(), Qt::BlankCursor);
    Mouse(QEvent::MouseButtonPress, {100, 100});
    EXPECT_TRUE(Window().CursorShown() && Find("PlayPanel")->cursor().shape() != Qt::BlankCursor);
    Find<QAction>("MTrackBarVisible")->trigger();
    Find<QAction>("MMinimizetoTaskbar")->trigger();
    EXPECT_TRUE(Find("ControlsPanel")->isVisible() && Window().isMinimized());
    Find<QAction>("MClose")->trigger();
    EXPECT_TRUE(PumpUntil([&] { return !Window().isVisible(); }));
}

// A window class of its own, whose base class has a section too.
class TDerivedDlg : public TSRPlaybackDlg {
    Q_OBJECT

public:
    using TSRPlaybackDlg::TSRPlaybackDlg;
};

// The language file beside the program applied to the player window, and to a window derived
// from it. One entry in the window's section, and the text it leaves on a part of the window
// (the file's own rules are the language file's tests).
TEST(International, TheLanguageFileBesideThePlayerSetsItsTexts) {
    const std::tuple<const char*, const char*, const char*, const char*> cases[] = {
        {"PlayButtonHint='Play it'", "PlayButton", "toolTip", "Play it (Space)"},
        {"Label1Caption=First`Second", "Label1", "text", "First\r\nSecond"},
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

// The player run as a program: Qt's own options are Qt's (the platform comes from the command
// line only; a style option is no file), and a signal ends it as closing the window does,
// leaving nothing in the temporary folder, not even what an earlier run that was killed had
// left there.
using PlayerProcess = PlayerStartUp;

TEST_F(PlayerProcess, QtTakesItsOwnOptionsAndSignalsEndThePlayerAsClosingItsWindowDoes) {
    const std::string recording = Write("r.vsr", Solid({{0, 0xFF}}, 30000, 32, 16), {});
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        WriteFileBytes(FTemp.File("spx" + EndedProcessId() + "-abcdef"),
                       Bytes("left by a killed run"));
        TChildProcess player(VSR_PLAYER_PATH,
                             {"-platform", "offscreen", "-style", "fusion", recording},
                             {"XDG_RUNTIME_DIR=" + FHome.Home.Path().string(),
                              "QT_QPA_PLATFORM=no-such-platform", "SDL_AUDIODRIVER=dummy"});
        const std::string voice = "spx" + std::to_string(player.Id()); // its voice track
        const auto playing = [&](const std::string& name) { return name.starts_with(voice); };
        ASSERT_TRUE(PumpUntil([&] { return std::ranges::any_of(FTemp.Names(), playing); }, 60s));
        player.Signal(signal);
        const TProcessResult result = player.Wait(60s);
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Err.find("not found"), std::string::npos) << result.Err;
        EXPECT_EQ(TempFiles(), 0u);
    }
}

// Help and version need no display: a platform that cannot start proves that no window is
// built; nothing is registered either.
TEST_F(PlayerProcess, HelpAndVersionPrintWithoutAWindow) {
    const std::string version = "vsrplayer " + std::string(ProgramVersion()) + " (VSR Player)\n";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--help"}, "usage:\n  vsrplayer [FILE | ADDRESS] [/debug]\n"},
        {{"/install", "-h"}, "usage:\n"},
        {{"-platform", "offscreen", "--version"}, version}};
    for (const auto& [args, start] : cases) {
        const TProcessResult result =
            RunProcess(VSR_PLAYER_PATH, args, {"QT_QPA_PLATFORM=no-such-platform", "DISPLAY="});
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Out.substr(0, start.size()), start);
    }
    EXPECT_FALSE(std::filesystem::exists(PlayerDesktopFile()));
}

// The About entry shows the version, the libraries (Qt's as it runs) and the licence, its
// whole text behind the details; the window carries the icon in the sizes made from the SVG.
TEST_F(PlayerWindow, TheAboutBoxAndTheWindowIcon) {
    QString text, details;
    QTimer::singleShot(50, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        text = box->text() + "\n" + box->informativeText();
        details = box->detailedText();
        box->close();
    });
    Find<QAction>("MAbout")->trigger();
    for (const QString& part : {"VSR Player " + QString(ProgramVersion().data()),
                                "Qt " + QString(qVersion()) + ", zlib ", QString("Licence: MIT")})
        EXPECT_TRUE(text.contains(part)) << part.toStdString() << " in " << text.toStdString();
    EXPECT_TRUE(details.contains("Permission is hereby granted"));
    const QList<QSize> sizes = Window().windowIcon().availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(48, 48)) && sizes.contains(QSize(256, 256))) << sizes.size();
}

} // namespace vsr::test

#include "PlayerWindowTest.moc"
