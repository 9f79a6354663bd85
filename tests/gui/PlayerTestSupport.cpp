#include "gui/PlayerTestSupport.h"

#include "audio/SndKitLibrary.h"
#include "audio/SpxWriter.h"
#include "player/ErrorBox.h"
#include "support/Pictures.h"

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
