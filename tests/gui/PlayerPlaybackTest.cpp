// Playback: the transport's button states through pause, the key-frame jumps, stop and to
// begin; the end of playback with trailer and link in both orders of loop and voice; errors of
// the loop; the seek bar and the time display; and recordings played while they download from
// a test server that answers as the server script does (the status panel, the automatic start,
// the loop waiting for data that has not arrived, a failed download closing the player); and
// random sequences of all of it.
#include "gui/PlayerTestSupport.h"

#include "controls/PlayTrackBar.h"
#include "player/EventHook.h"
#include "support/FaultServer.h"

#include <QInputDialog>
#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <atomic>
#include <random>

namespace vsr::test {

constexpr std::uint32_t cTrailerColour = 0x0000C0;

// Four key frames 400 ms apart, each of its own colour.
static TRecordingContent FourKeyFrames() {
    return Solid({{0, cRed}, {400, cGreen}, {800, cBlue}, {1200, cYellow}}, 1600);
}

// The 8 x 16 trailer shown for delaySeconds, and the link (no header picture).
static TRecordingOverlay Trailer(std::int32_t delaySeconds) {
    auto overlay = SolidOverlay(cWhite, cTrailerColour, delaySeconds, "https://example.com/after");
    overlay.HeaderPicture = {};
    return overlay;
}

class PlayerPlayback : public PlayerTest {
protected:
    std::uint32_t Centre() { return Pixel(32, 16); }
    bool TrailerShown() { return Pixel(0, 0) == cWhite && Centre() == cTrailerColour; }
    TPlayTrackBar* Bar() { return Find<TPlayTrackBar>("AudioTrackBar"); }
    std::string Label() { return Find<QLabel>("StreamStatusLabel")->text().toStdString(); }
    bool PanelShown() { return !Find("StreamStatusPanel")->isHidden(); }
    // Opens address through the "Open URL" box.
    void OpenUrl(const std::string& address) {
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            box->setTextValue(QString::fromStdString(address));
            box->accept();
        });
        Window().MOpenURLClick();
    }
};

// A jump back while paused draws the first tile of its key frame and stays paused (pausing itself
// is the next test's). Play right after Stop, before the stopped run has ended, waits for it
// instead of refusing.
TEST_F(PlayerPlayback, RewindWhilePausedStopAndPlayAgain) {
    ASSERT_TRUE(Window().OpenRecording(Write("stop.vsr", Solid({{0, cRed}, {300, cGreen}}, 3000))));
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cGreen; }));
    Click("PauseButton");
    Click("RewindButton");
    EXPECT_TRUE(Buttons() == cPaused && Window().PlayTime() == 0) << "the first key frame: 0";
    EXPECT_TRUE(PumpUntil([&] { return Pixel(0, 0) == cRed; }));
    EXPECT_EQ(Centre(), cGreen) << "halted after the first tile";
    Click("StopButton");
    EXPECT_TRUE(Buttons() == cStopped && !Window().Playing() && Centre() == cGreen);
    Click("PlayButton");
    EXPECT_TRUE(Buttons() == cPlaying && Window().PlayTime() < 250);
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cRed; }));
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cGreen; }));
    EXPECT_TRUE(Window().PlayTime() >= 300 && FErrors.empty()) << "waited for its time";
}

// Mended: a jump while paused restarted the sound behind the paused window, and Play then
// started from the beginning instead of going on from the jump.
TEST_F(PlayerPlayback, AJumpWhilePausedStaysSilentAndPlayGoesOnFromThere) {
    ASSERT_TRUE(Window().OpenRecording(Write("jump.vsr", FourKeyFrames(), ExactTiles(1600, 400))));
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 100; }));
    Click("PauseButton");
    EXPECT_FALSE(Active("UpdateTimer"));
    Click("FFWButton");
    const std::uint32_t jumped = Window().PlayTime();
    EXPECT_TRUE(jumped >= 400 && Buttons() == cPaused);
    PumpFor(400ms);
    EXPECT_EQ(Window().PlayTime(), jumped) << "the sound and its clock stay paused";
    Click("PlayButton");
    EXPECT_TRUE(Window().PlayTime() >= jumped && Buttons() == cPlaying && Active("UpdateTimer"));
    EXPECT_TRUE(PumpUntil([&] { return Window().PlayTime() > jumped + 150; }));
}

// Past the last key frame playback ends once: a black picture, the bar at its end, then the
// trailer; the link is opened only when it is a web link, after the trailer's delay.
TEST_F(PlayerPlayback, FastForwardPastTheEndEndsPlaybackOnce) {
    const TRecordingOverlay noPictures{{}, TOverlayPicture{}, 0, 0, "file:///bin/sh"};
    for (const auto& overlay : {std::optional<TRecordingOverlay>{}, std::optional{noPictures},
                                std::optional{Trailer(2)}}) {
        FTrace.Clear();
        TRecordingContent content = FourKeyFrames();
        content.Overlay = overlay;
        ASSERT_TRUE(Window().OpenRecording(Write("end.vsr", content, ExactTiles(1600, 300))));
        // Each press steps on from the key frame being read, so the loop is let draw between.
        for (int press = 0; press < 8 && Window().Playing(); ++press) {
            const std::uint64_t drawn = Window().Bitmap()->ModifiedCount();
            Click("FFWButton");
            PumpUntil(
                [&] { return !Window().Playing() || Window().Bitmap()->ModifiedCount() > drawn; });
        }
        EXPECT_TRUE(Buttons() == cStopped && Bar()->Position() == Bar()->Max());
        EXPECT_EQ(FTrace.CountOf("Launch URL"), overlay && !Active("TrailerDelayTimer") ? 1u : 0u);
        EXPECT_EQ(FTrace.Contains("Link not opened, not an http or https address: file:///bin/sh"),
                  FTrace.Contains("Launch URL"));
        PumpFor(100ms);
        EXPECT_EQ(Centre(), Active("TrailerDelayTimer") ? cTrailerColour : 0u);
    }
    EXPECT_TRUE(TrailerShown() && FUrls.Urls.empty() && FTrace.CountOf("Display trailer") == 1);
    EXPECT_EQ(Find<QTimer>("TrailerDelayTimer")->interval(), 2000);
    Fire("TrailerDelayTimer");
    EXPECT_EQ(FUrls.Urls, std::vector<std::string>{"https://example.com/after"});
}

// {voice, last picture, duration}: the trailer follows the later of the voice running dry and
// the loop waiting out the recording's duration (with the clock frozen, the last picture comes
// without delay). To Begin during the trailer cancels its link.
TEST_F(PlayerPlayback, TheTrailerFollowsTheLaterOfVoiceAndPictures) {
    const std::uint32_t cases[][3] = {{400, 900, 1300}, {1400, 200, 400}};
    for (const auto& [voiceMs, lastPictureMs, durationMs] : cases) {
        FTrace.Clear();
        TRecordingContent content = Solid({{0, cRed}, {lastPictureMs, cGreen}}, voiceMs);
        content.Overlay = Trailer(5);
        ASSERT_TRUE(Window().OpenRecording(Write("end.vsr", content, ExactTiles(durationMs))));
        ASSERT_TRUE(PumpUntil([&] { return !Window().AudioActive() || Window().RunFinished(); }));
        const bool voiceFirst = voiceMs < durationMs;
        EXPECT_EQ(Window().RunFinished(), !voiceFirst) << voiceMs;
        EXPECT_TRUE(Buttons() == (voiceFirst ? cStopped : cPlaying) &&
                    !Active("TrailerDelayTimer"));
        ASSERT_TRUE(PumpUntil([&] { return Active("TrailerDelayTimer"); }));
        EXPECT_TRUE(Window().RunFinished() && !Window().AudioActive() && TrailerShown() &&
                    Buttons() == cStopped && FTrace.Contains("Images played back: 4"));
        EXPECT_TRUE(FTrace.Contains("Header.StopTickCount: " + std::to_string(durationMs) +
                                    ". T: " + std::to_string(lastPictureMs)));
        EXPECT_TRUE(voiceFirst ? Window().PlayTime() < lastPictureMs
                               : Window().PlayTime() > voiceMs - 100);
    }
    Click("ToStartButton");
    EXPECT_TRUE(Buttons() == cPlaying && !Active("TrailerDelayTimer"));
    EXPECT_TRUE(Window().PlayTime() < 200 && FUrls.Urls.empty());
}

TEST_F(PlayerPlayback, AnErrorOfTheLoopStopsPlaybackAndIsShown) {
    const std::string file = FFixtures.File("bad.vsr");
    const TRecordingLayout layout =
        WriteRecordingFile(file, FourKeyFrames(), ExactTiles(1600, 300));
    // An invalid deflate block type right after the zlib header of the second segment.
    PatchFile(file, layout.KeyFrames.at(1).Offset + 2, Bytes(4, 0xFF));
    ASSERT_TRUE(Window().OpenRecording(file));
    ASSERT_TRUE(PumpUntil([&] { return !FErrors.empty(); }));
    EXPECT_TRUE(FErrors[0].starts_with("The recording's compressed data is damaged")) << FErrors[0];
    EXPECT_TRUE(Buttons() == cStopped && Centre() == cRed) << "the picture drawn before stays";
}

// Ten pictures a second, red and green in turn, are each shown: the picture is repainted after
// every screen update, not only by the half-second update timer, and the clock moves between
// the voice's 200 ms buffers, so that two pictures are not drawn at once.
TEST_F(PlayerPlayback, EveryScreenUpdateIsPainted) {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> pictures;
    for (std::uint32_t time = 0; time < 1500; time += 100)
        pictures.push_back({time, time % 200 ? cRed : cGreen});
    ASSERT_TRUE(Window().OpenRecording(Write("ten.vsr", Solid(pictures, 1500))));
    int changes = 0;
    std::uint32_t painted = 0;
    TEventHook counter(nullptr, [&](QEvent* event) {
        if (event->type() == QEvent::Paint) {
            const std::uint32_t now = Centre();
            changes += now != painted;
            painted = now;
        }
        return false;
    });
    counter.Attach(Find("PlayPanel"));
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() >= 200; }));
    const int before = changes;
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() >= 1200; }));
    EXPECT_GE(changes - before, 8) << "ten pictures in a second, each painted";
}

// The worked example: 954.6 s of voice whose first two silences lie at 0 - 4.2 s and 56 - 57 s.
// On a bar 346 wide the second stretch is blue from x = 6 to 24.
TEST_F(PlayerPlayback, SeekBarMarksTheStretchesBetweenSilencesAndIgnoresPresses) {
    TRecordingContent content = Solid({{0, 0x808080}}, 0, 32, 32);
    content.SoundTrack = VoiceTrack(Joined(
        {Silence(4200), Tone(51800), Silence(1000), Tone(1000), Silence(896400), Tone(200)}));
    ASSERT_TRUE(Window().OpenRecording(Write("long.vsr", content, ExactTiles(954600))));
    EXPECT_EQ(std::tuple(Bar()->Max(), Bar()->Frequency(), Bar()->height()),
              std::tuple(15273600, 1527360, 29));
    const TIntervalList& bands = Bar()->Intervals();
    ASSERT_EQ(bands.Count(), 4u);
    EXPECT_EQ(std::tuple(bands[0].End, bands[1].Start, bands[1].End, bands[2].Start, bands[3].End),
              std::tuple(0, 67200, 896000, 912000, 15273600));
    EXPECT_EQ(Find<QLabel>("TimeLabel")->text(), "0:00:00 / 0:15:54");
    EXPECT_EQ(FormatTime(3725, "."), "1.02.05");
    Click("PauseButton");
    const std::int32_t position = Bar()->Position();
    QTest::mouseClick(Bar(), Qt::LeftButton, {}, QPoint(300, 14));
    EXPECT_TRUE(Bar()->Position() == position && FErrors.empty()) << "the bar only displays";
}

// Something is held back twice. In one order the frame data waits for the last part, in the
// other the rest of the last part after index and pointer track waits for the first block; then all
// but that block waits until the test lets it go. Playback starts on the first segment either way,
// then waits for the large key frames with the voice held.
TEST_F(PlayerPlayback, PlaysWhileDownloadingWaitingForDataThatHasNotArrived) {
    TRecordingContent content =
        Solid({{0, cRed}, {400, cGreen}, {800, cBlue}, {1200, cYellow}}, 3200, 128, 64);
    for (std::uint32_t time = 1600; time < 3200; time += 400)
        content.Pictures.push_back({time, NoisePicture(128, 64, time)});
    const std::string local = FFixtures.File("b.vsr");
    const TRecordingLayout layout = WriteRecordingFile(local, content, ExactTiles(3200, 400));
    const std::vector<std::byte> bytes = ReadFileBytes(local);
    const std::int64_t index = layout.KeyFrameIndexOffset, voice = layout.AudioOffset;
    for (const bool trailerFirst : {true, false}) {
        SCOPED_TRACE(trailerFirst ? "trailer first" : "first block first");
        std::atomic<bool> firstHeld = false, restReleased = false, firstServed = false;
        TFaultServer server([&](const TFaultRequest& request) {
            TFaultReply reply = ServeRecording(bytes, request);
            const std::int64_t at = request.QueryNumber("position");
            if (at == 72 && trailerFirst)
                reply.ReadyWhen = [&] { return !firstHeld.load(); };
            else if (at > 72 && at < index)
                reply.ReadyWhen = [&] { return restReleased.load(); };
            else if (at == index && !trailerFirst) // index and pointer track only
                reply.Body.resize(std::min(reply.Body.size(), std::size_t(3 + voice - index)));
            else if (at > index && !trailerFirst)
                reply.ReadyWhen = [&] { return !firstHeld.load(); };
            firstServed = firstServed || at == 72;
            return reply;
        });
        firstHeld = true;
        FTrace.Clear();
        OpenUrl("vsrfile://" + server.BaseURL().substr(7) + "rec/b.vsr");
        EXPECT_TRUE(PanelShown() && Label() == "connecting..." && Buttons() == cNoRecording &&
                    Find<QProgressBar>("StreamProgress")->value() == 0);
        ASSERT_TRUE(PumpUntil([&] {
            return trailerFirst ? FTrace.Contains("VSR Download last part finished")
                                : firstServed.load();
        }));
        PumpFor(200ms);
        EXPECT_TRUE(Label() == "buffering, please wait..." && !Window().Playing());
        firstHeld = false;
        ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }));
        // Started by what came last: segment 0, the head, or the voice the start needs.
        const auto startedBy = [&](const std::string& what) {
            return FTrace.Contains("VSR Download: " + what + ", so start playback");
        };
        EXPECT_TRUE(trailerFirst ? startedBy("LastPartFinished and key frame available")
                                 : startedBy("head and key frame available") ||
                                       startedBy("voice available"));
        ASSERT_TRUE(PumpUntil([&] { return FTrace.Contains("Not enough data - sleeping"); }));
        Fire("UpdateTimer");
        EXPECT_TRUE(PanelShown()) << "while the loop waits";
        const std::uint32_t heldAt = Window().PlayTime();
        PumpFor(300ms);
        EXPECT_EQ(Window().PlayTime(), heldAt) << "the voice waits with the pictures";
        EXPECT_GT(FTrace.CountOf("Not enough data - sleeping"), 1u);
        restReleased = true;
        ASSERT_TRUE(PumpUntil([&] { return FTrace.Contains("Enough data - no more sleeping"); }));
        Fire("UpdateTimer");
        EXPECT_FALSE(PanelShown());
        ASSERT_TRUE(
            PumpUntil([&] { return Window().RunFinished() && !Window().AudioActive(); }, 20s));
        EXPECT_TRUE(Pixel(127, 63) == (NoisePicture(128, 64, 2800).Pixels.back() & 0xFFFFFFu) &&
                    FErrors.empty());
        Window().CloseRecording();
        EXPECT_EQ(TempFiles(), 0u) << "the download went with its recording";
    }
}

// An 8 s voice of which the server holds back all after 7 s: playback starts before the last
// part has completed, on the voice to segment 0's end and 5 s more; the output then waits where
// the voice ends, the clock with it, and goes on to the end once the rest comes.
TEST_F(PlayerPlayback, StartsBeforeTheVoiceHasArrivedAndWaitsWhereItEnds) {
    const TRecordingContent content = Solid({{0, cRed}, {1000, cGreen}, {7500, cBlue}}, 8000);
    const std::string local = FFixtures.File("v.vsr");
    const TRecordingLayout layout = WriteRecordingFile(local, content, ExactTiles(8000, 1000));
    const std::vector<std::byte> bytes = ReadFileBytes(local);
    // The voice's frame records, 400 of them: from 7 s on, but for what the file's last 32
    // bytes bring.
    const std::int64_t records = Get<std::int64_t>(bytes, bytes.size() - 8) - 22;
    const std::int64_t heldFrom = layout.AudioOffset + 22 + records / 400 * 350,
                       heldTo = std::ssize(bytes) - 32;
    std::atomic<bool> released = false;
    TFaultServer server([&](const TFaultRequest& request) {
        TFaultReply reply = ServeRecording(bytes, request);
        const std::int64_t at = request.QueryNumber("position");
        if (at >= heldFrom && at < heldTo)
            reply.ReadyWhen = [&] { return released.load(); };
        else if (at > layout.AudioOffset && at < heldFrom) // short, to where it is held
            reply.Body.resize(std::min(reply.Body.size(), std::size_t(3 + heldFrom - at)));
        return reply;
    });
    OpenUrl("vsrfile://" + server.BaseURL().substr(7) + "rec/v.vsr");
    ASSERT_TRUE(PumpUntil([&] { return Window().Playing(); }));
    std::uint32_t heldAt = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            heldAt = Window().PlayTime();
            PumpFor(300ms);
            return heldAt > 0 && Window().PlayTime() == heldAt;
        },
        15s));
    Fire("UpdateTimer");
    const QPalette& panel = Find<QLabel>("StreamStatusLabel")->palette(); // mended: black on black
    EXPECT_TRUE(heldAt > 5000 && heldAt < 7000 && Window().Playing() && PanelShown() &&
                Label() == "buffering, please wait..." &&
                panel.color(QPalette::WindowText) != panel.color(QPalette::Window))
        << heldAt;
    EXPECT_FALSE(FTrace.Contains("VSR Download last part finished"));
    released = true;
    ASSERT_TRUE(PumpUntil([&] { return Window().RunFinished() && !Window().AudioActive(); }, 20s));
    EXPECT_TRUE(Window().PlayTime() >= 7900 && Pixel(63, 31) == (cBlue & 0xFFFFFFu) &&
                FErrors.empty())
        << Window().PlayTime();
}

TEST_F(PlayerPlayback, AFileMissingOnTheServerIsShownAndClosesThePlayer) {
    TFaultServer server([](const TFaultRequest&) { return TFaultReply::Answer(200, "22"); });
    OpenUrl("vsrfile://" + server.BaseURL().substr(7) + "rec/missing.vsr");
    ASSERT_TRUE(PumpUntil([&] { return !Window().HasRecording() && !Window().isVisible(); }));
    EXPECT_EQ(FErrors, std::vector<std::string>{"File not found on server"});
    EXPECT_TRUE(!PanelShown() && Label().empty() && TempFiles() == 0);
    EXPECT_EQ(Buttons(), cNoRecording);
}

// Every streaming address is streamed, https ones too (mended: they were opened as files).
TEST_F(PlayerPlayback, AnHttpsAddressIsStreamed) {
    const std::string closed = TFaultServer([](auto&) { return TFaultReply::Silent(); }).BaseURL();
    OpenUrl("https://" + closed.substr(7) + "rec/a.vsr"); // nobody listens there any more
    EXPECT_EQ(Label(), "connecting...");
    ASSERT_TRUE(PumpUntil([&] { return !FErrors.empty(); }));
    EXPECT_EQ(FErrors, std::vector<std::string>{"Connection timeout."});
}

// Random sequences of the transport, opening and closing, at random intervals: no crash, no
// deadlock, no error, no sanitizer report, no temporary file left, and a player that still
// plays afterwards. The seed is fixed, so a failure repeats.
using PlayerStress = PlayerTest;

TEST_F(PlayerStress, RandomTransportOpenAndCloseSequencesLeaveAWorkingPlayer) {
    TRecordingContent withOverlay =
        Solid({{0, cRed}, {300, cGreen}, {600, cBlue}, {900, cYellow}}, 1200);
    withOverlay.Overlay = SolidOverlay(cWhite, cBlue, 0, "");
    const std::string recordings[] = {
        Write("a.vsr", withOverlay, ExactTiles(1200, 300)),
        Write("b.vsr", Solid({{0, cBlue}, {500, cRed}}, 2000), ExactTiles(2000, 500))};
    const char* const buttons[] = {"PlayButton",    "PauseButton",  "StopButton",
                                   "ToStartButton", "RewindButton", "FFWButton"};
    std::mt19937 random(20261206);
    for (int step = 0; step < 100; ++step) {
        const unsigned action = random() % 9;
        SCOPED_TRACE("step " + std::to_string(step) + ", action " + std::to_string(action));
        if (action < 6)
            Click(buttons[action]);
        else if (action < 8)
            EXPECT_TRUE(Window().OpenRecording(recordings[random() % 2]));
        else
            Window().CloseRecording();
        PumpFor(std::chrono::milliseconds(random() % 50));
        ASSERT_TRUE(FErrors.empty()) << FErrors.front();
    }
    Window().CloseRecording();
    EXPECT_EQ(TempFiles(), 0u);
    ASSERT_TRUE(Window().OpenRecording(recordings[1]));
    Click("PlayButton");
    EXPECT_TRUE(PumpUntil([&] { return Window().Playing() && Window().PlayTime() > 200; }));
    FWindow.reset();
    EXPECT_EQ(TempFiles(), 0u);
}

} // namespace vsr::test
