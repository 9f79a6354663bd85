// The player window's view: the picture filtered when scaled and exact at natural size, full
// screen with the controls, the first size on the screen, sharp button glyphs, the buttons'
// tool tips and the one-line time. The PlayerScaled tests run again on a 1920 x 1080 screen
// scaled by 2 (see tests/CMakeLists.txt).
#include "gui/PlayerTestSupport.h"

#include "player/ButtonGlyphs.h"

#include <QHelpEvent>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolTip>

namespace vsr::test {

namespace {

bool Grey(QRgb pixel) {
    return std::ranges::all_of(std::array{qRed(pixel), qGreen(pixel), qBlue(pixel)},
                               [](int channel) { return channel > 0x40 && channel < 0xC0; });
}

// Single black and white pixels, alternating.
TRecordingContent Checker() {
    TScreenPicture checker(256, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 256; ++x)
            checker.At(x, y) = (x + y) % 2 ? cWhite : 0;
    return {256, 128, {{0, checker}}, {}, VoiceTrack(Tone(3000)), {}};
}

QWidget* ShownToolTip() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "qtooltip_label" && widget->isVisible())
            return widget;
    return nullptr;
}

} // namespace

using PlayerView = PlayerTest;
using PlayerScaled = PlayerTest;

// Stretched to half its size the checker is filtered to grey; at natural size (full screen) it
// is copied pixel for pixel. Only the right half is looked at: the cursor is at (0, 0).
TEST_F(PlayerView, ScaledPicturesAreFilteredAndNaturalSizeIsExact) {
    const TRecordingContent content = Checker();
    const TScreenPicture& checker = content.Pictures[0].Picture;
    const std::string file = Write("checker.vsr", content);
    for (const bool stretched : {true, false}) {
        SCOPED_TRACE(stretched ? "stretched" : "natural");
        Start({{stretched ? "/debug" : ""}, "", TStartUpMode::WindowOnly});
        ASSERT_TRUE(Window().OpenRecording(file));
        ASSERT_TRUE(PumpUntil([&] { return Pixel(254, 127) == cWhite; })) << "the last tile";
        QWidget* panel = Find("PlayPanel");
        if (stretched) {
            HideControls();
            Window().resize(Window().size() - panel->size() + QSize(129, 100));
            ASSERT_TRUE(PumpUntil([&] { return panel->size() == QSize(129, 100); }));
        }
        const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Stretched, the picture fills 128 x 64 from (0, 17).
        const int scale = stretched ? 2 : 1, top = stretched ? 17 : 0;
        for (int y = top; y < top + 128 / scale; ++y)
            for (int x = 128 / scale; x < 256 / scale; ++x)
                ASSERT_TRUE(stretched ? Grey(shot.pixel(x, y))
                                      : (shot.pixel(x, y) & 0xFFFFFFu) == checker.At(x, y - top))
                    << x << "," << y;
    }
}

// During playback only the areas the loop drew are painted again: stretched to an odd size, what
// the window shows at the end is what a full paint of the panel gives.
TEST_F(PlayerView, PaintingOnlyWhatChangedLeavesTheWholePicture) {
    const TScreenPicture noise = NoisePicture(256, 128, 1);
    const TRecordingContent content{256,
                                    128,
                                    {{0, noise}, {1000, WithRect(noise, 192, 80, 32, 32, cBlue)}},
                                    {},
                                    VoiceTrack(Tone(2000)),
                                    {}};
    TRecordingOptions options = ExactTiles();
    options.TileWidth = options.TileHeight = 16;
    Start({{"/debug"}, "", TStartUpMode::WindowOnly});
    ASSERT_TRUE(Window().OpenRecording(Write("changes.vsr", content, options)));
    HideControls();
    QWidget* panel = Find("PlayPanel");
    Window().resize(Window().size() - panel->size() + QSize(181, 97));
    ASSERT_TRUE(PumpUntil([&] { return panel->size() == QSize(181, 97); }));
    ASSERT_LT(Window().PlayTime(), 900u) << "the change is painted on its own";
    ASSERT_TRUE(PumpUntil([&] { return Pixel(192, 80) == cBlue; }));
    PumpFor(std::chrono::milliseconds(300));
    const QPoint at = panel->mapTo(&Window(), QPoint(0, 0));
    const QImage shown = Window()
                             .screen()
                             ->grabWindow(Window().winId(), at.x(), at.y(), 181, 97)
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    const QImage full = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), full.size());
    // Filtering a clipped part may round one step differently; a stale area differs wholly.
    int largest = 0;
    for (int y = 0; y < full.height(); ++y)
        for (int x = 0; x < full.width(); ++x)
            for (const int shift : {0, 8, 16})
                largest = std::max(largest, std::abs(int(shown.pixel(x, y) >> shift & 0xFF) -
                                                     int(full.pixel(x, y) >> shift & 0xFF)));
    EXPECT_LE(largest, 1);
}

// A picture of the screen's size, green in its last rows: with the controls shown it is fitted
// above them, its bottom visible and no scroll bar; hidden again, it is copied 1:1.
TEST_F(PlayerView, FullScreenWithControlsFitsThePictureAboveThem) {
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const TScreenPicture picture = WithRect(TScreenPicture(screen.width(), screen.height(), cRed),
                                            0, screen.height() - 8, screen.width(), 8, cGreen);
    Start({{}, "", TStartUpMode::WindowOnly});
    ASSERT_TRUE(Window().OpenRecording(
        Write("screen.vsr",
              {screen.width(), screen.height(), {{0, picture}}, {}, VoiceTrack(Tone(3000)), {}})));
    ASSERT_TRUE(PumpUntil([&] { return Pixel(0, screen.height() - 1) == cGreen; }));
    auto* area = Find<QScrollArea>("ScrollBox1");
    QWidget* controls = Find("ControlsPanel");
    for (const bool shown : {true, false}) {
        SCOPED_TRACE(shown);
        Find<QAction>("MTrackBarVisible")->trigger();
        ASSERT_TRUE(PumpUntil([&] { return controls->isVisible() == shown; }));
        PumpFor(30ms);
        const int bottom = shown ? controls->y() - 2 : screen.height() - 1;
        const QImage shot = Window().grab().toImage();
        EXPECT_EQ(shot.pixel(screen.width() / 2, bottom) & 0xFFFFFFu, cGreen);
        EXPECT_FALSE(area->verticalScrollBar()->isVisible() ||
                     area->horizontalScrollBar()->isVisible());
        EXPECT_EQ(Find("PlayPanel")->size(), shown ? area->size() : screen);
    }
}

// The buttons' hints, with the keys that do the same, shown above the controls.
TEST_F(PlayerView, ToolTipsNameTheKeysAndLeaveTheCaptionsFree) {
    const std::pair<const char*, const char*> cases[] = {
        {"ToStartButton", "To Begin (Home)"},
        {"RewindButton", "Rewind"},
        {"PlayButton", "Play Current Loaded File (Space)"},
        {"PauseButton", "Pause (Space)"},
        {"StopButton", "Stop"},
        {"FFWButton", "Fast Forward"},
        {"LoadButton", "Load VSR File (Ctrl+O)"}};
    const int controlsTop = Find("ControlsPanel")->mapToGlobal(QPoint(0, 0)).y();
    for (const auto& [name, tip] : cases) {
        SCOPED_TRACE(name);
        QWidget* button = Find(name);
        QHelpEvent event(QEvent::ToolTip, QPoint(5, 5), button->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(button, &event);
        const QWidget* shown = ShownToolTip();
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(QToolTip::text(), tip);
        EXPECT_LT(shown->geometry().bottom(), controlsTop);
        QToolTip::hideText();
    }
}

// Elapsed and total time on one line at the designed width, one above the other at the
// narrowest; every button and the time stay inside the controls.
TEST_F(PlayerView, TimeShowsOnOneLineWhereItFits) {
    ASSERT_TRUE(Window().OpenRecording(Write("r.vsr", RedAndBlue())));
    QWidget* controls = Find("ControlsPanel");
    auto* time = Find<QLabel>("TimeLabel");
    for (const auto& [width, text] :
         {std::pair(792, "0:00:00 / 0:00:03"), std::pair(0, "0:00:00\n0:00:03")}) {
        SCOPED_TRACE(width);
        Window().resize(width, Window().height());
        ASSERT_TRUE(PumpUntil([&] { return controls->width() == Window().width(); }));
        EXPECT_EQ(time->text(), text);
        EXPECT_LE(time->sizeHint().width(), time->width());
        for (const QWidget* part : controls->findChildren<QWidget*>())
            EXPECT_TRUE(controls->rect().contains(part->geometry()))
                << part->objectName().toStdString();
    }
}

// The first framed window lies within the screen's available area, whatever the scaling.
TEST_F(PlayerScaled, TheFirstWindowFitsTheScreen) {
    TSRPlaybackDlg& window = Window();
    ASSERT_TRUE(PumpUntil([&] { return window.isVisible(); }));
    EXPECT_TRUE(window.screen()->availableGeometry().contains(window.frameGeometry()))
        << window.frameGeometry().width() << "x" << window.frameGeometry().height();
}

// The buttons' glyphs are drawn at the screen's pixel ratio, not enlarged from 1:1 pictures.
TEST_F(PlayerScaled, GlyphsAreDrawnAtThePixelRatio) {
    const qreal ratio = qEnvironmentVariableIsSet("QT_SCALE_FACTOR")
                            ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble()
                            : 1.0;
    const std::pair<const char*, TGlyph> cases[] = {{"PlayButton", TGlyph::Play},
                                                    {"LoadButton", TGlyph::Load}};
    for (const auto& [name, glyph] : cases) {
        SCOPED_TRACE(name);
        auto* button = Find<QToolButton>(name);
        ASSERT_EQ(button->devicePixelRatio(), ratio);
        for (const auto& [mode, state] : {std::pair(QIcon::Normal, TGlyphState::Enabled),
                                          std::pair(QIcon::Disabled, TGlyphState::Disabled)}) {
            const QPixmap shown = button->icon().pixmap(button->iconSize(), ratio, mode);
            EXPECT_EQ(shown.devicePixelRatio(), ratio);
            EXPECT_EQ(shown.size(), button->iconSize() * ratio);
            EXPECT_EQ(shown.toImage(), GlyphPixmap(glyph, state, ratio).toImage());
        }
    }
}

} // namespace vsr::test
