#pragma once
// Helpers of the player window tests: recordings written with the project's writer (pictures
// of solid tiles, a tone voice track, overlays), a window in a private temporary folder with
// its error boxes and opened links captured, and waiting while Qt processes events.

#include "player/SRPlaybackDlg.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "support/CaptureTracer.h"
#include "support/Recordings.h"
#include "support/TempDir.h"
#include "support/Voice.h"

#include <QObject>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QTimer;
class QToolButton;

namespace vsr::test {

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
    void SetUp() override;
    void TearDown() override;

    std::string Write(const std::string& name, const TRecordingContent& content,
                      const TRecordingOptions& options, TRecordingLayout* layout = nullptr);
    std::string FixtureFile(const std::string& name) const;
    TSRPlaybackDlg& Window();
    void CloseWindow();

    // Processes events until done() holds or timeoutMs passed; the result of done().
    bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);
    void Pump(int ms);
    // "To+ Rw- Pl- Pa- St- FF-": the enabled states of the six transport buttons.
    std::string Buttons();
    QToolButton* Button(const char* name);
    QTimer* Timer(const char* name);
    // Fires the timer now, as if its interval had run out.
    void Fire(const char* timerName);
    // The pixel of FBitmap at (x, y), 0x00RRGGBB.
    std::uint32_t BitmapPixel(std::int32_t x, std::int32_t y);
    // The temporary files the player left in its folder.
    std::vector<std::string> TempFiles() const;

    std::unique_ptr<TTempDir> FTemp;
    std::unique_ptr<TCaptureTracer> FTrace;
    std::vector<std::string> FErrors;
    TUrlCatcher FUrls;

private:
    std::optional<std::string> FOldTmpDir;
    std::unique_ptr<TTempDir> FFixtures;
    std::unique_ptr<TSRPlaybackDlg> FWindow;
};

} // namespace vsr::test
