// A recording played by the window while it downloads from the real server script under
// "php -S": the status panel, the progress, the automatic start, key-frame jumps once the
// trailer is known, the final picture compared with playing the file itself, and a failed
// download that ends the player.
#include "gui/PlayerTestSupport.h"

#include "support/FaultServer.h"
#include "support/PhpServer.h"
#include "support/Watchdog.h"

#include <QApplication>
#include <QFrame>
#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace vsr::test {
namespace {

constexpr std::uint32_t cColours[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
constexpr std::uint32_t cKeyFrameMs = 400;

// Six solid 64 x 32 pictures, one per key frame, and a voice track as long as all of them.
TRecordingContent SixKeyFrames() {
    TRecordingContent content;
    content.Width = 64;
    content.Height = 32;
    std::uint32_t time = 0;
    for (const std::uint32_t colour : cColours) {
        content.Pictures.push_back({time, TScreenPicture(64, 32, colour)});
        time += cKeyFrameMs;
    }
    content.SoundTrack = VoiceTrack(Tone(time));
    return content;
}

class PlayerStreamTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        if (!TPhpServer::Available())
            GTEST_SKIP() << "php is not installed";
        TRecordingOptions options = ExactTiles(cKeyFrameMs * std::size(cColours));
        options.KeyFrameInterval = cKeyFrameMs;
        FLocalFile = Write("a.vsr", SixKeyFrames(), options);
        // The script lies beside the recording; the site's root is a folder of its own.
        std::filesystem::create_directories(FSite.Path() / "rec");
        std::filesystem::copy_file(FLocalFile, FSite.File("rec/a.vsr"));
        std::filesystem::copy_file(ServerScriptFolder() + "/vsr_download.php",
                                   FSite.File("rec/vsr_download.php"));
        FServer = std::make_unique<TPhpServer>(FSite.Path().string());
    }

    std::string Address(const std::string& path) const {
        return "vsrfile://127.0.0.1:" + std::to_string(FServer->Port()) + "/" + path;
    }
    QFrame* Panel() { return Window().findChild<QFrame*>("StreamStatusPanel"); }
    std::string Label() {
        return Window().findChild<QLabel*>("StreamStatusLabel")->text().toStdString();
    }
    int ProgressValue() { return Window().findChild<QProgressBar*>("StreamProgress")->value(); }
    bool PlayedToTheEnd() { return Window().RunFinished() && !Window().AudioActive(); }

    std::vector<std::uint32_t> AllPixels(std::int32_t width = 64, std::int32_t height = 32) {
        std::vector<std::uint32_t> pixels;
        for (std::int32_t y = 0; y < height; ++y)
            for (std::int32_t x = 0; x < width; ++x)
                pixels.push_back(BitmapPixel(x, y));
        return pixels;
    }
    bool HasVsrTempFile() const {
        for (const std::string& name : TempFiles())
            if (name.rfind("vsr", 0) == 0)
                return true;
        return false;
    }

    TTempDir FSite;
    std::string FLocalFile;
    std::unique_ptr<TPhpServer> FServer;
};

TEST_F(PlayerStreamTest, PlaysWhileDownloadingAndEndsOnTheSamePictureAsTheFile) {
    TWatchdog watchdog("PlaysWhileDownloading");
    ASSERT_TRUE(Window().OpenRecording(Address("rec/a.vsr")));
    EXPECT_TRUE(Window().HasRecording());
    EXPECT_FALSE(Panel()->isHidden());
    EXPECT_EQ(Label(), "connecting...");
    EXPECT_EQ(ProgressValue(), 0);
    // Nothing to seek or play before the trailer has arrived.
    EXPECT_FALSE(Button("FFWButton")->isEnabled());
    EXPECT_FALSE(Button("PlayButton")->isEnabled());

    std::vector<std::string> labels;
    ASSERT_TRUE(PumpUntil(
        [&] {
            const std::string label = Label();
            if (!label.empty() && (labels.empty() || labels.back() != label))
                labels.push_back(label);
            return Window().Playing();
        },
        10000));
    EXPECT_TRUE(FTrace->Contains("VSR Download last part started"));
    EXPECT_TRUE(FTrace->Contains("VSR Download last part finished"));
    EXPECT_NE(std::find(labels.begin(), labels.end(), "buffering, please wait..."), labels.end());
    // Started by one of the rules, with the panel out of the way.
    const bool byKeyFrames = FTrace->Contains(
        "VSR Download: LastPartFinished and key frame available, so start playback");
    const bool byWholeFile =
        FTrace->Contains("VSR Download last part finished after first part finished, so start "
                         "playing") ||
        FTrace->Contains(
            "VSR Download: LastPartFinished and first part finished, so start playback");
    EXPECT_TRUE(byKeyFrames || byWholeFile);
    EXPECT_TRUE(Panel()->isHidden());
    EXPECT_EQ(Label(), "");
    EXPECT_TRUE(PumpUntil([&] { return ProgressValue() == 100; }));

    // The trailer is known now: a jump forward is taken.
    ASSERT_TRUE(PumpUntil([&] { return Button("FFWButton")->isEnabled(); }));
    Button("FFWButton")->click();
    EXPECT_TRUE(FTrace->Contains("Seek key frame"));
    EXPECT_TRUE(FTrace->Contains("BackExec1.Execute from Seek Key Frame"));
    EXPECT_TRUE(FErrors.empty());

    ASSERT_TRUE(PumpUntil([&] { return PlayedToTheEnd(); }, 10000));
    const std::vector<std::uint32_t> streamed = AllPixels();
    EXPECT_EQ(streamed.front(), cColours[std::size(cColours) - 1]);
    EXPECT_TRUE(FErrors.empty());

    ASSERT_TRUE(Window().OpenRecording(FLocalFile));
    EXPECT_FALSE(HasVsrTempFile()) << "the download file outlived its recording";
    ASSERT_TRUE(PumpUntil([&] { return PlayedToTheEnd(); }, 10000));
    EXPECT_EQ(AllPixels(), streamed);
}

// Four small key frames, then four large ones, 128 x 64.
TRecordingContent SmallThenLargeKeyFrames() {
    TRecordingContent content;
    content.Width = 128;
    content.Height = 64;
    std::uint32_t state = 1;
    for (std::uint32_t i = 0; i < 8; ++i) {
        TScreenPicture picture(128, 64, cColours[i % std::size(cColours)]);
        if (i >= 4)
            for (std::uint32_t& pixel : picture.Pixels) {
                state = state * 1664525u + 1013904223u;
                pixel = state >> 8;
            }
        content.Pictures.push_back({i * cKeyFrameMs, std::move(picture)});
    }
    content.SoundTrack = VoiceTrack(Tone(8 * cKeyFrameMs));
    return content;
}

std::vector<std::byte> FileBytes(const std::string& name) {
    std::ifstream file(name, std::ios::binary);
    std::vector<char> chars((std::istreambuf_iterator<char>(file)), {});
    std::vector<std::byte> bytes(chars.size());
    std::memcpy(bytes.data(), chars.data(), chars.size());
    return bytes;
}

// Answers the download protocol for bytes: "OK|size|checksum|" for the information, "OK|"
// and the bytes asked for otherwise.
TFaultReply ServeBytes(const std::vector<std::byte>& bytes, const TFaultRequest& request) {
    const auto size = static_cast<std::int64_t>(bytes.size());
    if (request.Query("flag") == "-1")
        return TFaultReply::Answer(200, "OK|" + std::to_string(size) + "|1|");
    const std::int64_t position =
        std::clamp<std::int64_t>(request.QueryNumber("position"), 0, size);
    const std::int64_t count =
        std::clamp<std::int64_t>(request.QueryNumber("size"), 0, size - position);
    const auto* first = reinterpret_cast<const char*>(bytes.data()) + position;
    return TFaultReply::Answer(200, "OK|" + std::string(first, static_cast<std::size_t>(count)));
}

// The frame data is held back twice: all of it until the trailer has arrived, then all but
// the first block (the four small key frames) until the test lets it go. Playback starts on the
// four key frames and then waits for the rest with the voice held.
TEST_F(PlayerStreamTest, PlaybackWaitsForDataThatHasNotArrivedAndGoesOnWhenItComes) {
    TWatchdog watchdog("PlaybackWaitsForData");
    TRecordingOptions options = ExactTiles(8 * cKeyFrameMs);
    options.KeyFrameInterval = cKeyFrameMs;
    TRecordingLayout layout;
    const std::string local = Write("b.vsr", SmallThenLargeKeyFrames(), options, &layout);
    const std::vector<std::byte> bytes = FileBytes(local);
    ASSERT_EQ(static_cast<std::int64_t>(bytes.size()), layout.Size);
    ASSERT_GT(layout.KeyFrames.size(), 4u);
    ASSERT_LT(layout.KeyFrames[4].Offset, 72 + 32768) << "the first block must end in segment 4";
    std::atomic<bool> trailerArrived = false;
    std::atomic<bool> restReleased = false;
    TFaultServer server([&](const TFaultRequest& request) {
        TFaultReply reply = ServeBytes(bytes, request);
        if (request.Query("flag") == "-1")
            return reply;
        const std::int64_t position = request.QueryNumber("position");
        if (position == 72)
            reply.ReadyWhen = [&] { return trailerArrived.load(); };
        else if (position > 72 && position < layout.KeyFrameIndexOffset)
            reply.ReadyWhen = [&] { return restReleased.load(); };
        return reply;
    });
    ASSERT_TRUE(Window().OpenRecording("vsrfile://127.0.0.1:" + std::to_string(server.Port()) +
                                       "/rec/b.vsr"));
    ASSERT_TRUE(PumpUntil([&] { return FTrace->Contains("VSR Download last part finished"); }));
    EXPECT_FALSE(Window().Playing()) << "no frame data yet";
    trailerArrived = true;
    ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }));
    EXPECT_TRUE(FTrace->Contains(
        "VSR Download: LastPartFinished and key frame available, so start playback"));
    ASSERT_TRUE(PumpUntil([&] { return FTrace->Contains("Not enough data - sleeping"); }));
    Fire("UpdateTimer");
    EXPECT_FALSE(Panel()->isHidden()) << "the panel shows while the loop waits";
    const std::uint32_t heldAt = Window().PlayTime();
    Pump(300);
    EXPECT_EQ(Window().PlayTime(), heldAt) << "the voice waits with the pictures";
    EXPECT_GT(FTrace->CountOf("Not enough data - sleeping"), 1u);
    EXPECT_FALSE(FTrace->Contains("Enough data - no more sleeping"));

    restReleased = true;
    ASSERT_TRUE(PumpUntil([&] { return FTrace->Contains("Enough data - no more sleeping"); }));
    Fire("UpdateTimer");
    EXPECT_TRUE(Panel()->isHidden());
    ASSERT_TRUE(PumpUntil([&] { return PlayedToTheEnd(); }, 10000));
    EXPECT_GT(Window().PlayTime(), heldAt + 1000);
    const std::vector<std::uint32_t> streamed = AllPixels(128, 64);
    EXPECT_TRUE(FErrors.empty());

    ASSERT_TRUE(Window().OpenRecording(local));
    ASSERT_TRUE(PumpUntil([&] { return PlayedToTheEnd(); }, 10000));
    EXPECT_EQ(AllPixels(128, 64), streamed);
}

// The "Open URL" box: its title, prompt and empty default; a confirmed address is opened, a
// cancelled box opens nothing.
TEST_F(PlayerStreamTest, OpenUrlBoxOpensTheTypedAddress) {
    TWatchdog watchdog("OpenUrlBox");
    std::string title;
    std::string prompt;
    std::string initial;
    const auto answer = [&](const std::string& text, bool accept) {
        QTimer::singleShot(50, [&, text, accept] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            title = box->windowTitle().toStdString();
            prompt = box->labelText().toStdString();
            initial = box->textValue().toStdString();
            box->setTextValue(QString::fromStdString(text));
            if (accept)
                box->accept();
            else
                box->reject();
        });
    };
    answer(Address("rec/a.vsr"), false);
    Window().MOpenURLClick();
    EXPECT_EQ(title, "Play From Internet");
    EXPECT_EQ(prompt, "Enter vsrfile:// URL:");
    EXPECT_EQ(initial, "");
    EXPECT_FALSE(Window().HasRecording());

    answer(Address("rec/a.vsr"), true);
    Window().MOpenURLClick();
    EXPECT_TRUE(Window().HasRecording());
    EXPECT_FALSE(Panel()->isHidden());
    ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }, 10000));
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(PlayerStreamTest, MissingFileOnTheServerIsShownAndClosesThePlayer) {
    TWatchdog watchdog("MissingFileOnTheServer");
    ASSERT_TRUE(Window().OpenRecording(Address("rec/missing.vsr")));
    ASSERT_TRUE(PumpUntil([&] { return !FErrors.empty(); }));
    EXPECT_EQ(FErrors, std::vector<std::string>{"File not found on server"});
    ASSERT_TRUE(PumpUntil([&] { return !Window().HasRecording() && !Window().isVisible(); }));
    EXPECT_TRUE(Panel()->isHidden());
    EXPECT_EQ(Label(), "");
    EXPECT_EQ(Buttons(), "To- Rw- Pl- Pa- St- FF-");
    EXPECT_FALSE(HasVsrTempFile());
    EXPECT_EQ(FErrors.size(), 1u);
}

} // namespace
} // namespace vsr::test
