#pragma once
// The player window tests' fixture: a window whose temporary files go to a private folder,
// with its error boxes, opened links and trace lines captured, and a watchdog against hangs.
// It includes what the player tests share.

#include "audio/SndKitLibrary.h"
#include "player/ErrorBox.h"
#include "player/SRPlaybackDlg.h"
#include "support/CaptureTracer.h"
#include "support/Env.h"
#include "support/Pump.h"
#include "support/Recordings.h"
#include "support/Voice.h"
#include "support/Watchdog.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace vsr::test {

using namespace std::chrono_literals;

// Enabled states of To Begin, Rewind, Play, Pause, Stop and Fast Forward.
inline constexpr std::string_view cPlaying = "++-+++", cHeader = "+---+-", cPaused = "+++-++",
                                  cStopped = "+-+---", cNoRecording = "------";
inline constexpr std::uint32_t cRed = 0xFF0000, cGreen = 0x00FF00, cBlue = 0x0000FF,
                               cYellow = 0xFFFF00, cWhite = 0xFFFFFF;

// 32-bit tiles of 32 x 32 pixels, so that colours stay exact.
inline TRecordingOptions ExactTiles(std::optional<std::uint32_t> durationMs = std::nullopt,
                                    std::uint32_t keyFrameIntervalMs = 10000) {
    TRecordingOptions options;
    options.BitDepth = TTileBitDepth::Bits32;
    options.KeyFrameInterval = keyFrameIntervalMs;
    options.TileWidth = options.TileHeight = 32;
    options.Duration = durationMs;
    return options;
}

// Solid bitmap pictures (a 16 x 8 header of headerColour, an 8 x 16 trailer of trailerColour)
// shown for delaySeconds each, and the link.
inline TRecordingOverlay SolidOverlay(std::uint32_t headerColour, std::uint32_t trailerColour,
                                      std::int32_t delaySeconds, const std::string& link) {
    using enum TOverlayPictureType;
    return {{Bitmap, BitmapFileOf(TScreenPicture(16, 8, headerColour))},
            TOverlayPicture{Bitmap, BitmapFileOf(TScreenPicture(8, 16, trailerColour))},
            delaySeconds,
            delaySeconds,
            link};
}

// width x height pictures of one colour each, at (time, colour), and a tone of voiceMs.
inline TRecordingContent Solid(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pictures,
                               std::uint32_t voiceMs, std::int32_t width = 64,
                               std::int32_t height = 32) {
    TRecordingContent content{width, height, {}, {}, VoiceTrack(Tone(voiceMs)), {}};
    for (const auto& [time, colour] : pictures)
        content.Pictures.push_back({time, TScreenPicture(width, height, colour)});
    return content;
}

// 64 x 32: a red tile left of a blue one, the cursor at (16, 8), 3 s of tone.
inline TRecordingContent RedAndBlue() {
    const TScreenPicture picture = WithRect(TScreenPicture(64, 32, cRed), 32, 0, 32, 32, cBlue);
    return {64, 32, {{0, picture}}, {{5000, 16, 8}}, VoiceTrack(Tone(3000)), {}};
}

// Receives the links the desktop services would open.
class TUrlCatcher : public QObject {
    Q_OBJECT

public:
    std::vector<std::string> Urls;

public slots:
    void Open(const QUrl& url) { Urls.push_back(url.toString().toStdString()); }
};

class PlayerTest : public ::testing::Test {
protected:
    PlayerTest() {
        SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
        SetErrorBoxHook([this](QWidget*, const std::string& text) { FErrors.push_back(text); });
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::setUrlHandler(scheme, &FUrls, "Open");
    }
    ~PlayerTest() override {
        FWindow.reset();
        for (const char* scheme : {"http", "https", "file"})
            QDesktopServices::unsetUrlHandler(scheme);
        SetErrorBoxHook({});
    }

    std::string Write(const std::string& name, const TRecordingContent& content,
                      const TRecordingOptions& options = ExactTiles()) {
        WriteRecordingFile(FFixtures.File(name), content, options);
        return FFixtures.File(name);
    }
    // The window of the debug view, unless Start built another one.
    TSRPlaybackDlg& Window() {
        return FWindow ? *FWindow : Start({{"/debug"}, "", TStartUpMode::WindowOnly});
    }
    TSRPlaybackDlg& Start(const TPlayerStartUp& startUp) {
        FWindow.reset();
        FWindow = std::make_unique<TSRPlaybackDlg>(startUp);
        FWindow->show();
        return *FWindow;
    }
    template <typename T = QWidget> T* Find(const char* name) {
        T* found = Window().findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    std::string Buttons() {
        std::string states;
        for (const char* name : {"ToStartButton", "RewindButton", "PlayButton", "PauseButton",
                                 "StopButton", "FFWButton"})
            states += Find<QToolButton>(name)->isEnabled() ? '+' : '-';
        return states;
    }
    void Click(const char* button) { Find<QToolButton>(button)->click(); }
    // Hidden controls let the window be narrower than they need, once its layout has seen it.
    void HideControls() {
        Find<QAction>("MTrackBarVisible")->trigger();
        EXPECT_TRUE(PumpUntil(
            [&] { return Window().minimumWidth() < Find("ControlsPanel")->minimumWidth(); }));
    }
    bool Active(const char* timer) { return Find<QTimer>(timer)->isActive(); }
    // The timer's tick, as if its interval had run out now.
    void Fire(const char* timer) { QMetaObject::invokeMethod(Find<QTimer>(timer), "timeout"); }
    // A pixel of FBitmap, 0xRRGGBB.
    std::uint32_t Pixel(std::int32_t x, std::int32_t y) {
        auto* bitmap = const_cast<TBitmap32*>(Window().Bitmap());
        const auto lock = bitmap->CanvasLock();
        return bitmap->At(x, y) & 0xFFFFFFu;
    }
    // The files in the player's temporary folder.
    std::size_t TempFiles() const {
        return std::ranges::count_if(std::filesystem::directory_iterator(FTemp.Path()),
                                     [](const auto& entry) { return entry.is_regular_file(); });
    }

    TTempDir FFixtures;
    TTempDir FTemp; // the player's temporary folder
    TEnvScope FTmpDir{"TMPDIR", FTemp.Path().string()};
    TCaptureTracer FTrace;
    TWatchdog FWatchdog{120s};
    std::vector<std::string> FErrors;
    TUrlCatcher FUrls;
    std::unique_ptr<TSRPlaybackDlg> FWindow;
};

} // namespace vsr::test
