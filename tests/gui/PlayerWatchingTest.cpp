// Watching: exact seek in every state against the vsr tool's snapshot, the keys, the go-to box,
// dropped files and addresses, speed and volume.
#include "gui/PlayerTestSupport.h"

#include "render/Snapshot.h"
#include "support/Files.h"
#include "support/Pictures.h"
#include "support/RunProcess.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>

namespace vsr::test {

class PlayerWatching : public PlayerTest {
protected:
    // 96 x 64 noise pictures at 0, 600 and 1200 ms, key frames every second, 3 s of voice, the
    // pointer moving at 200, 1000 and 2000 ms.
    std::string Noisy() {
        TRecordingContent content{
            96, 64, {}, {{200, 5, 5}, {1000, 20, 10}, {2000, 40, 20}}, VoiceTrack(Tone(3000)), {}};
        for (std::uint32_t time : {0u, 600u, 1200u})
            content.Pictures.push_back({time, NoisePicture(96, 64, time + 1)});
        return Write("noisy.vsr", content, ExactTiles(3000, 1000));
    }
    // The picture `vsr snapshot` writes for the time.
    QImage Snapshot(const std::string& file, std::uint32_t ms) {
        const std::string png = FFixtures.File("at" + std::to_string(ms) + ".png");
        const TProcessResult run =
            RunProcess(VSR_TOOL_PATH, {"snapshot", file, "--at", std::to_string(ms), "-o", png});
        EXPECT_EQ(run.ExitCode, 0) << run.Err;
        return QImage(QString::fromStdString(png));
    }
    std::int64_t DifferentPixels(const QImage& image) {
        std::int64_t different = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                different += (image.pixel(x, y) & 0xFFFFFFu) != Pixel(x, y);
        return different;
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {}) {
        QKeyEvent event(QEvent::KeyPress, key, modifiers, text);
        QApplication::sendEvent(&Window(), &event);
    }
    // Closes the modal box the next key opens; its object name.
    std::string ModalOpenedBy(int key) {
        std::string name;
        QTimer::singleShot(100, [&] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                name = box->objectName().toStdString();
                qobject_cast<QDialog*>(box)->reject();
            }
        });
        Key(key, Qt::ControlModifier);
        PumpUntil([&] { return !name.empty(); });
        return name;
    }
};

// In each state the picture is the snapshot's, the pointer is the one recorded after the time
// and the voice stands at the time; playing goes on from there, paused and stopped stay
// paused and silent, and Play goes on from the time.
TEST_F(PlayerWatching, SeekToShowsTheSnapshotsPictureAndTheVoiceGoesOnFromThere) {
    const std::string file = Noisy();
    enum class TState { Playing, Paused, Stopped };
    for (const std::uint32_t ms : {700u, 1500u, 2100u}) {
        const QImage expected = Snapshot(file, ms);
        ASSERT_FALSE(expected.isNull());
        for (const TState state : {TState::Playing, TState::Paused, TState::Stopped}) {
            SCOPED_TRACE(testing::Message() << ms << " ms, state " << static_cast<int>(state));
            ASSERT_TRUE(Window().OpenRecording(file));
            ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 100; }));
            if (state != TState::Playing)
                Click(state == TState::Paused ? "PauseButton" : "StopButton");
            ASSERT_TRUE(Window().SeekTo(ms));
            EXPECT_EQ(DifferentPixels(expected), 0);
            const TPoint cursor = Window().CursorPos();
            EXPECT_EQ(cursor.X, ms < 1000 ? 20 : 40) << "the next recorded, or the last";
            EXPECT_EQ(cursor.Y, ms < 1000 ? 10 : 20);
            if (state == TState::Playing) {
                EXPECT_EQ(Buttons(), cPlaying);
                EXPECT_TRUE(PumpUntil([&] { return Window().PlayTime() > ms + 150; }));
                continue;
            }
            EXPECT_EQ(Buttons(), cPaused);
            EXPECT_EQ(Window().PlayTime(), ms / 20 * 20) << "a whole Speex frame";
            PumpFor(300ms);
            EXPECT_EQ(Window().PlayTime(), ms / 20 * 20) << "paused and silent";
            Click("PlayButton");
            EXPECT_GE(Window().PlayTime(), ms / 20 * 20) << "not from the beginning";
            EXPECT_TRUE(PumpUntil([&] { return Window().PlayTime() > ms + 150; }));
        }
    }
    EXPECT_TRUE(FErrors.empty());
}

// Every key on a paused 130-second recording: {key, modifiers, where the voice stands after}.
TEST_F(PlayerWatching, KeysSeekSwitchViewsAndOpenTheirBoxes) {
    ASSERT_TRUE(Window().OpenRecording(
        Write("long.vsr", Solid({{0, cRed}, {60000, cGreen}}, 130000), ExactTiles(130000))));
    ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }));
    Click("PauseButton");
    ASSERT_TRUE(Window().SeekTo(65000));
    const std::tuple<int, Qt::KeyboardModifiers, std::uint32_t> seeks[] = {
        {Qt::Key_Right, Qt::NoModifier, 70000},
        {Qt::Key_Left, Qt::NoModifier, 65000},
        {Qt::Key_Right, Qt::ShiftModifier, 66000},
        {Qt::Key_Left, Qt::ShiftModifier, 65000},
        {Qt::Key_Right, Qt::ControlModifier, 125000},
        {Qt::Key_Right, Qt::ControlModifier, 130000},
        {Qt::Key_Left, Qt::ControlModifier, 70000},
        {Qt::Key_Home, Qt::NoModifier, 0},
        {Qt::Key_Left, Qt::NoModifier, 0},
    };
    for (const auto& [key, modifiers, ms] : seeks) {
        SCOPED_TRACE(testing::Message() << key << " " << modifiers << " to " << ms);
        Key(key, modifiers);
        EXPECT_EQ(Window().PlayTime(), ms);
        if (ms < 130000) { // at the end the voice may run dry at once, which stops
            EXPECT_EQ(Buttons(), cPaused);
        }
    }
    EXPECT_EQ(Pixel(32, 16), cRed);
    Key(Qt::Key_Space);
    EXPECT_EQ(Buttons(), cPlaying);
    Key(Qt::Key_Space);
    EXPECT_EQ(Buttons(), cPaused);

    const std::tuple<int, bool> views[] = {
        {Qt::Key_F, true},       {Qt::Key_F11, false}, {Qt::Key_F11, true}, {Qt::Key_Escape, false},
        {Qt::Key_Escape, false}, {Qt::Key_F, true},    {Qt::Key_F, false}};
    for (const auto& [key, fullScreen] : views) {
        Key(key);
        EXPECT_EQ(Window().FullScreen(), fullScreen) << key;
    }
    EXPECT_TRUE(Find("ControlsPanel")->isVisible()) << "the framed window has its controls";

    auto* help = Find<QLabel>("ShortcutHelp");
    Key(Qt::Key_F1);
    EXPECT_TRUE(help->isVisible() && help->text().contains("Ctrl+G") &&
                help->text().contains("Leave full screen"));
    Key(Qt::Key_Question, Qt::ShiftModifier, "?");
    EXPECT_FALSE(help->isVisible());

    EXPECT_EQ(ModalOpenedBy(Qt::Key_O), "OpenDialog");
    EXPECT_EQ(ModalOpenedBy(Qt::Key_U), "OpenURLDialog");
    Key(Qt::Key_G, Qt::ControlModifier);
    EXPECT_NE(Window().findChild<QDialog*>("GoToTimeBox"), nullptr);
    Key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(Window().HasRecording());
    EXPECT_TRUE(Window().isVisible());
    Key(Qt::Key_Q);
    EXPECT_TRUE(PumpUntil([&] { return !Window().isVisible(); }));
}

// {typed, voice position after (ms) or the refusal shown}.
TEST_F(PlayerWatching, TheGoToBoxTakesTimesAndRefusesTheRest) {
    ASSERT_TRUE(Window().OpenRecording(Write("go.vsr", Solid({{0, cRed}}, 130000))));
    ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }));
    Click("PauseButton");
    const std::tuple<const char*, std::uint32_t, const char*> cases[] = {
        {"1:05", 65000, ""},     {"0:01:10", 70000, ""},
        {"90.5", 90500, ""},     {"abc", 0, "Enter a time as h:mm:ss, mm:ss or seconds"},
        {"1:75", 0, "00 to 59"}, {"0:02:30", 0, "The recording is 0:02:10 long."},
    };
    for (const auto& [typed, ms, refusal] : cases) {
        SCOPED_TRACE(typed);
        Key(Qt::Key_G, Qt::ControlModifier);
        QDialog* box = nullptr; // boxes that were closed go only once the event loop runs
        for (QDialog* open : Window().findChildren<QDialog*>("GoToTimeBox"))
            box = open->isVisible() ? open : box;
        ASSERT_NE(box, nullptr);
        box->findChild<QLineEdit*>("TimeEdit")->setText(typed);
        box->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
        auto* error = box->findChild<QLabel*>("ErrorLabel");
        if (*refusal) {
            EXPECT_TRUE(box->isVisible());
            EXPECT_TRUE(error->isVisible());
            EXPECT_TRUE(error->text().contains(refusal)) << error->text().toStdString();
            box->reject();
        } else {
            EXPECT_EQ(Window().PlayTime(), ms);
        }
    }
}

// {dropped, taken}: local recordings and streaming addresses, nothing else.
TEST_F(PlayerWatching, DroppedRecordingsAndAddressesOpen) {
    const std::string file = Write("drop.vsr", RedAndBlue());
    const std::string text = FFixtures.File("notes.txt");
    const std::tuple<QList<QUrl>, bool> cases[] = {
        {{QUrl::fromLocalFile(QString::fromStdString(text))}, false},
        {{QUrl("ftp://example.com/a.vsr")}, false},
        {{QUrl("vsrfile://example.com/a.vsr")}, true},
        {{QUrl::fromLocalFile(QString::fromStdString(file)), QUrl("https://example.com/a.vsr")},
         false},
        {{QUrl::fromLocalFile(QString::fromStdString(file))}, true},
    };
    for (const auto& [urls, taken] : cases) {
        SCOPED_TRACE(urls.front().toString().toStdString());
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        enter.setAccepted(false);
        QApplication::sendEvent(&Window(), &enter);
        EXPECT_EQ(enter.isAccepted(), taken);
    }
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&Window(), &drop);
    ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }));
    EXPECT_TRUE(Window().HasRecording() && FErrors.empty());
}

// Captured by SDL's disk driver, {']' presses, Up presses, M}: the voice lasts its length over
// the speed with its pitch's level kept, scaled by the volume, silent when muted; the clock
// runs at the speed.
TEST_F(PlayerWatching, SpeedAndVolumeShapeTheCapturedVoice) {
    const std::string file = Write("tone.vsr", Solid({{0, cRed}}, 1200), ExactTiles(1200));
    const std::tuple<int, int, bool, double, int> cases[] = {
        {0, 0, false, 1.0, 100}, {3, 0, false, 2.0, 100}, {-2, 0, false, 0.5, 100},
        {0, -5, false, 1.0, 50}, {0, 0, true, 1.0, 0},
    };
    int referencePeak = 0;
    for (const auto& [faster, louder, mute, speed, percent] : cases) {
        SCOPED_TRACE(testing::Message() << speed << "x " << percent << "%");
        const std::string capture = FFixtures.File("capture.raw");
        TEnvScope driver{"SDL_AUDIODRIVER", "disk"}, output{"SDL_DISKAUDIOFILE", capture};
        TSRPlaybackDlg& window = Start({{"/debug"}, "", TStartUpMode::WindowOnly});
        for (int press = 0; press < std::abs(faster); ++press)
            Key(faster > 0 ? Qt::Key_BracketRight : Qt::Key_BracketLeft);
        for (int press = 0; press < std::abs(louder); ++press)
            Key(louder > 0 ? Qt::Key_Up : Qt::Key_Down);
        if (mute)
            Key(Qt::Key_M);
        EXPECT_EQ(window.OverlayText().empty(), !faster && !louder && !mute);
        ASSERT_TRUE(window.OpenRecording(file));
        ASSERT_TRUE(PumpUntil([&] { return window.PlayTime() > 100; }));
        const auto start = std::chrono::steady_clock::now();
        const std::uint32_t from = window.PlayTime();
        PumpFor(250ms);
        const double wall =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        EXPECT_NEAR((window.PlayTime() - from) / wall, speed, speed * 0.3) << "the clock";
        ASSERT_TRUE(PumpUntil([&] { return !window.AudioActive(); }));
        window.CloseRecording();

        const std::vector<std::byte> bytes = ReadFileBytes(capture);
        std::vector<std::int16_t> samples(bytes.size() / 2);
        std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
        std::optional<std::size_t> first, last;
        int peak = 0;
        for (std::size_t i = 0; i < samples.size(); ++i) {
            peak = std::max(peak, std::abs(int{samples[i]}));
            if (std::abs(int{samples[i]}) > 300) {
                first = first.value_or(i);
                last = i;
            }
        }
        if (percent == 0) {
            EXPECT_EQ(peak, 0) << "silence stays silent";
            continue;
        }
        ASSERT_TRUE(first && last);
        EXPECT_NEAR((*last - *first) / 8.0, 1200 / speed, 1200 / speed * 0.15) << "heard ms";
        if (referencePeak == 0)
            referencePeak = peak;
        EXPECT_NEAR(peak, referencePeak * percent / 100.0, referencePeak * 0.1);
    }
}

} // namespace vsr::test
