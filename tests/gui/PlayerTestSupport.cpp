#include "gui/PlayerTestSupport.h"

#include "audio/SndKitLibrary.h"
#include "audio/SpxWriter.h"
#include "player/ErrorBox.h"
#include "recording/PictureFixtures.h"

#include <QApplication>
#include <QDesktopServices>
#include <QTimer>
#include <QToolButton>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace vsr::test {

std::vector<std::int16_t> Tone(std::uint32_t lengthMs) {
    std::vector<std::int16_t> samples(static_cast<std::size_t>(lengthMs) * 8);
    const double step = 2 * std::acos(-1.0) * 440 / 8000;
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(8000 * std::sin(step * i)));
    return samples;
}

std::vector<std::int16_t> Silence(std::uint32_t lengthMs) {
    return std::vector<std::int16_t>(static_cast<std::size_t>(lengthMs) * 8);
}

std::vector<std::int16_t> Joined(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<std::byte> VoiceTrack(const std::vector<std::int16_t>& samples) {
    TSpxWriterSettings settings;
    settings.Complexity = 1;
    settings.Quality = 4;
    return TSpxWriter::Encode(samples, settings);
}

TScreenPicture TilePicture(std::int32_t columns, std::int32_t rows,
                           const std::vector<std::uint32_t>& colours) {
    TScreenPicture picture(columns * 32, rows * 32);
    for (std::int32_t y = 0; y < picture.Height; ++y)
        for (std::int32_t x = 0; x < picture.Width; ++x)
            picture.At(x, y) = colours.at(static_cast<std::size_t>((y / 32) * columns + x / 32));
    return picture;
}

TRecordingOptions ExactTiles(std::optional<std::uint32_t> durationMs) {
    TRecordingOptions options;
    options.BitDepth = TTileBitDepth::Bits32;
    options.TileWidth = 32;
    options.TileHeight = 32;
    options.Duration = durationMs;
    return options;
}

TRecordingOverlay SolidOverlay(std::uint32_t headerColour, std::uint32_t trailerColour,
                               std::int32_t delaySeconds, const std::string& link) {
    TRecordingOverlay overlay;
    overlay.HeaderPicture = {TOverlayPictureType::Bitmap,
                             BitmapFileOf(TScreenPicture(16, 8, headerColour))};
    overlay.TrailerPicture = TOverlayPicture{TOverlayPictureType::Bitmap,
                                             BitmapFileOf(TScreenPicture(8, 16, trailerColour))};
    overlay.HeaderDelaySeconds = delaySeconds;
    overlay.TrailerDelaySeconds = delaySeconds;
    overlay.Link = link;
    return overlay;
}

void PlayerTest::SetUp() {
    FTemp = std::make_unique<TTempDir>();
    FFixtures = std::make_unique<TTempDir>();
    if (const char* old = std::getenv("TMPDIR"))
        FOldTmpDir = old;
    setenv("TMPDIR", FTemp->Path().c_str(), 1);
    SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
    FTrace = std::make_unique<TCaptureTracer>();
    SetErrorBoxHook([this](QWidget*, const std::string& text) { FErrors.push_back(text); });
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::setUrlHandler(scheme, &FUrls, "Open");
}

void PlayerTest::TearDown() {
    FWindow.reset();
    if (HasFailure())
        for (const std::string& line : FTrace->Lines())
            if (line.rfind("Img:", 0) != 0)
                std::fprintf(stderr, "trace: %s\n", line.c_str());
    for (const char* scheme : {"http", "https", "file"})
        QDesktopServices::unsetUrlHandler(scheme);
    SetErrorBoxHook({});
    FTrace.reset();
    if (FOldTmpDir)
        setenv("TMPDIR", FOldTmpDir->c_str(), 1);
    else
        unsetenv("TMPDIR");
}

std::string PlayerTest::Write(const std::string& name, const TRecordingContent& content,
                              const TRecordingOptions& options, TRecordingLayout* layout) {
    const std::string file = FFixtures->File(name);
    const TRecordingLayout written = WriteRecordingFile(file, content, options);
    if (layout)
        *layout = written;
    return file;
}

std::string PlayerTest::FixtureFile(const std::string& name) const {
    return FFixtures->File(name);
}

TSRPlaybackDlg& PlayerTest::Window() {
    if (!FWindow) {
        FWindow = std::make_unique<TSRPlaybackDlg>();
        FWindow->show();
    }
    return *FWindow;
}

void PlayerTest::CloseWindow() {
    if (FWindow)
        FWindow->close();
    FWindow.reset();
}

bool PlayerTest::PumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void PlayerTest::Pump(int ms) {
    PumpUntil([] { return false; }, ms);
}

QToolButton* PlayerTest::Button(const char* name) {
    auto* button = Window().findChild<QToolButton*>(name);
    EXPECT_NE(button, nullptr) << name;
    return button;
}

QTimer* PlayerTest::Timer(const char* name) {
    auto* timer = Window().findChild<QTimer*>(name);
    EXPECT_NE(timer, nullptr) << name;
    return timer;
}

void PlayerTest::Fire(const char* timerName) {
    Timer(timerName)->start(0);
    Pump(30);
}

std::string PlayerTest::Buttons() {
    const std::pair<const char*, const char*> buttons[] = {
        {"To", "ToStartButton"}, {"Rw", "RewindButton"}, {"Pl", "PlayButton"},
        {"Pa", "PauseButton"},   {"St", "StopButton"},   {"FF", "FFWButton"}};
    std::string states;
    for (const auto& [label, name] : buttons) {
        if (!states.empty())
            states += ' ';
        states += std::string(label) + (Button(name)->isEnabled() ? '+' : '-');
    }
    return states;
}

std::uint32_t PlayerTest::BitmapPixel(std::int32_t x, std::int32_t y) {
    auto* bitmap = const_cast<TBitmap32*>(Window().Bitmap());
    if (!bitmap)
        return 0xDEADBEEF;
    const auto lock = bitmap->CanvasLock();
    return bitmap->At(x, y) & 0x00FFFFFFu;
}

std::vector<std::string> PlayerTest::TempFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(FTemp->Path()))
        names.push_back(entry.path().filename().string());
    return names;
}

} // namespace vsr::test
