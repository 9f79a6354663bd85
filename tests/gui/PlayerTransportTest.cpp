// The transport of the player window: the button states through header, play, pause, stop,
// to begin and the key-frame jumps; the end of playback with trailer and closing link; the
// two orders in which the loop and the voice track can end; errors of the loop.
#include "gui/PlayerTestSupport.h"

#include "controls/PlayTrackBar.h"
#include "support/Pictures.h"
#include "support/Recordings.h"
#include "support/Watchdog.h"

#include <QTimer>
#include <QToolButton>

namespace vsr::test {
namespace {

constexpr std::uint32_t cRed = 0xFF0000;
constexpr std::uint32_t cGreen = 0x00FF00;
constexpr std::uint32_t cBlue = 0x0000FF;
constexpr std::uint32_t cYellow = 0xFFFF00;
constexpr std::uint32_t cWhite = 0xFFFFFF;
constexpr std::uint32_t cHeaderColour = 0xC00000;
constexpr std::uint32_t cTrailerColour = 0x0000C0;
constexpr const char* cPlaying = "To+ Rw+ Pl- Pa+ St+ FF+";
constexpr const char* cHeader = "To+ Rw- Pl- Pa- St+ FF-";
constexpr const char* cPaused = "To+ Rw+ Pl+ Pa- St+ FF+";
constexpr const char* cStopped = "To+ Rw- Pl+ Pa- St- FF-";
constexpr const char* cLink = "https://example.com/after";

// 64 x 32 pictures, one colour each, at the given times.
TRecordingContent Solid(const std::vector<std::pair<std::uint32_t, std::uint32_t>>& pictures,
                        std::uint32_t voiceMs) {
    TRecordingContent content;
    content.Width = 64;
    content.Height = 32;
    for (const auto& [time, colour] : pictures)
        content.Pictures.push_back({time, TScreenPicture(64, 32, colour)});
    content.SoundTrack = VoiceTrack(Tone(voiceMs));
    return content;
}

// Four key frames, 400 ms apart, and the colour of each.
std::uint32_t ColourAt(std::uint32_t keyFrameTime) {
    const std::uint32_t colours[] = {cRed, cGreen, cBlue, cYellow};
    return colours[std::min<std::uint32_t>(keyFrameTime / 400, 3)];
}

TRecordingContent FourKeyFrames() {
    return Solid({{0, cRed}, {400, cGreen}, {800, cBlue}, {1200, cYellow}}, 1600);
}

TRecordingOptions KeyFrameEvery(std::uint32_t intervalMs, std::uint32_t durationMs) {
    TRecordingOptions options = ExactTiles(durationMs);
    options.KeyFrameInterval = intervalMs;
    return options;
}

class PlayerTransportTest : public PlayerTest {
protected:
    std::uint32_t Centre() { return BitmapPixel(32, 16); }
    bool TrailerShown() { return BitmapPixel(0, 0) == cWhite && Centre() == cTrailerColour; }
    // Each press steps on from the key frame being read, so the loop is let draw in between.
    void FastForwardToTheEnd() {
        for (int press = 0; press < 8 && Window().Playing(); ++press) {
            const std::uint64_t drawn = Window().Bitmap()->ModifiedCount();
            Button("FFWButton")->click();
            PumpUntil(
                [&] { return !Window().Playing() || Window().Bitmap()->ModifiedCount() != drawn; });
        }
    }
};

TEST_F(PlayerTransportTest, HeaderPictureShowsForItsDelayThenTheLoopStarts) {
    TWatchdog watchdog("HeaderPictureShowsForItsDelay");
    TRecordingContent content = Solid({{0, cRed}}, 1000);
    content.Overlay = SolidOverlay(cHeaderColour, cTrailerColour, 3, cLink);
    ASSERT_TRUE(Window().OpenRecording(Write("header.vsr", content, ExactTiles())));
    EXPECT_EQ(Buttons(), cHeader);
    EXPECT_TRUE(Timer("HeaderDelayTimer")->isActive());
    EXPECT_EQ(Timer("HeaderDelayTimer")->interval(), 3000);
    EXPECT_TRUE(FTrace->Contains("Displaying header..."));
    // The 16 x 8 header centred on white: (24, 12) to (40, 20).
    EXPECT_EQ(BitmapPixel(0, 0), cWhite);
    EXPECT_EQ(BitmapPixel(24, 12), cHeaderColour);
    EXPECT_EQ(BitmapPixel(39, 19), cHeaderColour);
    EXPECT_EQ(BitmapPixel(40, 19), cWhite);
    EXPECT_EQ(BitmapPixel(24, 20), cWhite);
    Button("PauseButton")->click();
    Button("FFWButton")->click();
    EXPECT_EQ(Buttons(), cHeader) << "disabled buttons do nothing";
    EXPECT_FALSE(Window().Playing());
    Fire("HeaderDelayTimer");
    EXPECT_FALSE(Timer("HeaderDelayTimer")->isActive());
    EXPECT_EQ(Buttons(), cPlaying);
    EXPECT_TRUE(FTrace->Contains("BackExec1.Execute from Header Delay Timer"));
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(0, 0) == cRed; }));
}

TEST_F(PlayerTransportTest, PauseFreezesTheClockAndPlayResumes) {
    TWatchdog watchdog("PauseFreezesTheClockAndPlayResumes");
    ASSERT_TRUE(Window().OpenRecording(Write("pause.vsr", Solid({{0, cRed}}, 3000), ExactTiles())));
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 100; }));
    Button("PauseButton")->click();
    EXPECT_EQ(Buttons(), cPaused);
    EXPECT_TRUE(FTrace->Contains("Pause hit. Running event reset."));
    EXPECT_FALSE(Timer("UpdateTimer")->isActive());
    const std::uint32_t paused = Window().PlayTime();
    Pump(400);
    EXPECT_EQ(Window().PlayTime(), paused) << "the audio clock stands still";
    Button("PlayButton")->click();
    EXPECT_EQ(Buttons(), cPlaying);
    EXPECT_TRUE(Timer("UpdateTimer")->isActive());
    EXPECT_TRUE(PumpUntil([&] { return Window().PlayTime() > paused + 150; }));
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(PlayerTransportTest, StopKeepsThePictureAndPlayAtOnceStartsFromTheBeginning) {
    TWatchdog watchdog("StopKeepsThePicture");
    ASSERT_TRUE(Window().OpenRecording(
        Write("stop.vsr", Solid({{0, cRed}, {300, cGreen}}, 2000), ExactTiles())));
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cGreen; }));
    Button("StopButton")->click();
    EXPECT_EQ(Buttons(), cStopped);
    EXPECT_FALSE(Window().Playing());
    EXPECT_EQ(Centre(), cGreen);
    // Play before the stopped run has ended: it waits for that run, never refuses.
    Button("PlayButton")->click();
    EXPECT_TRUE(FErrors.empty());
    EXPECT_EQ(Buttons(), cPlaying);
    EXPECT_TRUE(Window().Playing());
    EXPECT_LT(Window().PlayTime(), 250u);
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cRed; }));
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cGreen; }));
    EXPECT_GE(Window().PlayTime(), 300u);
    EXPECT_EQ(FTrace->CountOf("BackExec1.Execute from Header Delay Timer"), 2u);
}

TEST_F(PlayerTransportTest, ToBeginDuringTheTrailerCancelsTheLinkAndPlaysAgain) {
    TWatchdog watchdog("ToBeginDuringTheTrailer");
    TRecordingContent content = Solid({{0, cRed}, {200, cGreen}}, 400);
    content.Overlay = SolidOverlay(cHeaderColour, cTrailerColour, 5, cLink);
    content.Overlay->HeaderPicture = {};
    ASSERT_TRUE(Window().OpenRecording(Write("tobegin.vsr", content, ExactTiles(500))));
    ASSERT_TRUE(PumpUntil([&] { return Timer("TrailerDelayTimer")->isActive(); }));
    EXPECT_TRUE(TrailerShown());
    Button("ToStartButton")->click();
    EXPECT_FALSE(Timer("TrailerDelayTimer")->isActive());
    EXPECT_EQ(Buttons(), cPlaying);
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cRed || Centre() == cGreen; }));
    EXPECT_LT(Window().PlayTime(), 300u);
    EXPECT_TRUE(FUrls.Urls.empty());
}

TEST_F(PlayerTransportTest, FastForwardAndRewindJumpByKeyFrames) {
    TWatchdog watchdog("FastForwardAndRewind");
    ASSERT_TRUE(
        Window().OpenRecording(Write("keys.vsr", FourKeyFrames(), KeyFrameEvery(300, 1600))));
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cRed; }));
    Button("FFWButton")->click();
    EXPECT_EQ(Buttons(), cPlaying);
    EXPECT_TRUE(FTrace->Contains("Seek key frame"));
    EXPECT_TRUE(FTrace->Contains("BackExec1.Execute from Seek Key Frame"));
    // One key frame on from the segment being read: the loop may already have opened the
    // second one while it waited for its time.
    const std::uint32_t jumped = Window().PlayTime();
    ASSERT_TRUE(jumped == 400 || jumped == 800) << "the voice track jumps with the pictures";
    const std::uint32_t colour = jumped == 400 ? cGreen : cBlue;
    ASSERT_TRUE(PumpUntil([&] { return Centre() == colour; }));
    Button("PauseButton")->click();
    // The loop may have opened the next segment while it waited: the first Rewind goes back
    // to the start of the key frame shown or of the one before it.
    Button("RewindButton")->click();
    EXPECT_EQ(Buttons(), cPaused) << "a jump while paused stays paused";
    const std::uint32_t first = Window().PlayTime();
    ASSERT_TRUE(first == jumped || first + 400 == jumped) << first;
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(0, 0) == ColourAt(first); }))
        << "paused, the first tile of the key frame is drawn";
    // Halted after that tile, the reader is in that key frame: one step back is exact.
    Button("RewindButton")->click();
    EXPECT_EQ(Window().PlayTime(), first - 400);
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(0, 0) == ColourAt(first - 400); }));
    while (Window().PlayTime() > 0)
        Button("RewindButton")->click();
    Button("RewindButton")->click();
    EXPECT_EQ(Window().PlayTime(), 0u) << "rewinding in the first key frame resumes at 0";
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(0, 0) == cRed; }));
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(PlayerTransportTest, FastForwardPastTheLastKeyFrameEndsWithABlackPicture) {
    TWatchdog watchdog("FastForwardPastTheLastKeyFrame");
    ASSERT_TRUE(
        Window().OpenRecording(Write("keys.vsr", FourKeyFrames(), KeyFrameEvery(300, 1600))));
    FastForwardToTheEnd();
    EXPECT_EQ(Buttons(), cStopped);
    EXPECT_FALSE(Window().Playing());
    auto* bar = Window().findChild<TPlayTrackBar*>("AudioTrackBar");
    EXPECT_EQ(bar->Position(), bar->Max());
    for (int x = 0; x < 64; x += 9)
        EXPECT_EQ(BitmapPixel(x, x / 2), 0u);
    EXPECT_FALSE(Timer("TrailerDelayTimer")->isActive()) << "no overlay, no trailer";
    Pump(100);
    EXPECT_EQ(Centre(), 0u) << "nothing draws after the end";
}

TEST_F(PlayerTransportTest, FastForwardPastTheEndShowsTheTrailerThenOpensTheLink) {
    TWatchdog watchdog("FastForwardPastTheEndShowsTheTrailer");
    TRecordingContent content = FourKeyFrames();
    content.Overlay = SolidOverlay(cHeaderColour, cTrailerColour, 2, cLink);
    ASSERT_TRUE(Window().OpenRecording(Write("keys.vsr", content, KeyFrameEvery(300, 1600))));
    Fire("HeaderDelayTimer");
    FastForwardToTheEnd();
    EXPECT_EQ(Buttons(), cStopped);
    auto* bar = Window().findChild<TPlayTrackBar*>("AudioTrackBar");
    EXPECT_EQ(bar->Position(), bar->Max());
    EXPECT_TRUE(TrailerShown());
    EXPECT_TRUE(Timer("TrailerDelayTimer")->isActive());
    EXPECT_EQ(Timer("TrailerDelayTimer")->interval(), 2000);
    EXPECT_EQ(FTrace->CountOf("Display trailer"), 1u);
    EXPECT_TRUE(FUrls.Urls.empty()) << "the link waits for the trailer's delay";
    Fire("TrailerDelayTimer");
    EXPECT_EQ(FUrls.Urls, std::vector<std::string>{cLink});
    EXPECT_TRUE(FTrace->Contains("Launch URL"));
}

TEST_F(PlayerTransportTest, VoiceShorterThanPicturesEndsWhenTheLoopHasWaitedOutTheDuration) {
    TWatchdog watchdog("VoiceShorterThanPictures");
    TRecordingContent content = Solid({{0, cRed}, {900, cGreen}}, 400);
    content.Overlay = SolidOverlay(cHeaderColour, cTrailerColour, 5, cLink);
    content.Overlay->HeaderPicture = {};
    content.Overlay->TrailerPicture = TOverlayPicture{
        TOverlayPictureType::Bitmap, BitmapFileOf(TScreenPicture(8, 16, cTrailerColour))};
    ASSERT_TRUE(Window().OpenRecording(Write("short.vsr", content, ExactTiles(1300))));
    ASSERT_TRUE(PumpUntil([&] { return !Window().AudioActive(); }));
    EXPECT_EQ(Buttons(), cStopped) << "the voice track ran dry";
    EXPECT_FALSE(Window().RunFinished()) << "the loop waits out the recording's duration";
    EXPECT_FALSE(Timer("TrailerDelayTimer")->isActive());
    const std::uint32_t frozen = Window().PlayTime();
    EXPECT_LT(frozen, 900u);
    ASSERT_TRUE(PumpUntil([&] { return Centre() == cGreen || TrailerShown(); }));
    EXPECT_EQ(Window().PlayTime(), frozen) << "the last picture came without its time";
    ASSERT_TRUE(PumpUntil([&] { return Window().RunFinished(); }));
    EXPECT_TRUE(Timer("TrailerDelayTimer")->isActive());
    EXPECT_TRUE(TrailerShown());
    EXPECT_TRUE(FTrace->Contains("Images played back: 4"));
    EXPECT_TRUE(FTrace->Contains("Header.StopTickCount: 1300. T: 900"));
}

TEST_F(PlayerTransportTest, VoiceLongerThanPicturesEndsWhenTheVoiceRunsDry) {
    TWatchdog watchdog("VoiceLongerThanPictures");
    TRecordingContent content = Solid({{0, cRed}, {200, cGreen}}, 1400);
    content.Overlay = SolidOverlay(cHeaderColour, cTrailerColour, 5, cLink);
    content.Overlay->HeaderPicture = {};
    ASSERT_TRUE(Window().OpenRecording(Write("long.vsr", content, ExactTiles(400))));
    ASSERT_TRUE(PumpUntil([&] { return Window().RunFinished(); }));
    EXPECT_TRUE(Window().AudioActive());
    EXPECT_FALSE(Timer("TrailerDelayTimer")->isActive()) << "the voice track still plays";
    EXPECT_EQ(Centre(), cGreen);
    EXPECT_EQ(Buttons(), cPlaying);
    ASSERT_TRUE(PumpUntil([&] { return !Window().AudioActive(); }));
    EXPECT_GE(Window().PlayTime(), 1300u);
    EXPECT_TRUE(Timer("TrailerDelayTimer")->isActive());
    EXPECT_TRUE(TrailerShown());
    EXPECT_EQ(Buttons(), cStopped);
}

TEST_F(PlayerTransportTest, ALinkThatIsNoWebAddressIsNotOpened) {
    TWatchdog watchdog("ALinkThatIsNoWebAddressIsNotOpened");
    TRecordingContent content = Solid({{0, cRed}}, 300);
    content.Overlay = SolidOverlay(cHeaderColour, cTrailerColour, 0, "file:///bin/sh");
    content.Overlay->HeaderPicture = {};
    content.Overlay->TrailerPicture = TOverlayPicture{};
    ASSERT_TRUE(Window().OpenRecording(Write("program.vsr", content, ExactTiles(300))));
    ASSERT_TRUE(PumpUntil([&] { return FTrace->Contains("Launch URL"); }));
    EXPECT_TRUE(FUrls.Urls.empty());
    EXPECT_TRUE(FTrace->Contains("Link not opened, not an http or https address: file:///bin/sh"));
}

TEST_F(PlayerTransportTest, AnErrorOfTheLoopStopsPlaybackAndIsShown) {
    TWatchdog watchdog("AnErrorOfTheLoopStopsPlayback");
    TRecordingLayout layout;
    const std::string file =
        Write("damaged.vsr", FourKeyFrames(), KeyFrameEvery(300, 1600), &layout);
    ASSERT_GE(layout.KeyFrames.size(), 2u);
    // An invalid deflate block type right after the zlib header of the second segment.
    PatchFile(file, layout.KeyFrames[1].Offset + 2, Bytes(4, 0xFF));
    ASSERT_TRUE(Window().OpenRecording(file));
    ASSERT_TRUE(PumpUntil([&] { return !FErrors.empty(); }));
    EXPECT_EQ(FErrors[0].rfind("The recording's compressed data is damaged", 0), 0u) << FErrors[0];
    EXPECT_EQ(Buttons(), cStopped);
    EXPECT_FALSE(Window().Playing());
    EXPECT_EQ(Centre(), cRed) << "the picture drawn before the error stays";
}

} // namespace
} // namespace vsr::test
