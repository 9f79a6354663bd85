// The player window with a recording: opening, the picture composed at known play times, the
// painted panel, failures, a second recording, and no temporary file left behind.
#include "gui/PlayerTestSupport.h"

#include "audio/SndKitLibrary.h"
#include "audio/SndKitSetup.h"
#include "support/Recordings.h"
#include "render/CursorPicture.h"
#include "support/Watchdog.h"

#include <QImage>
#include <QPixmap>
#include <QScrollArea>
#include <QToolButton>

namespace vsr::test {
namespace {

constexpr std::uint32_t cRed = 0xFF0000;
constexpr std::uint32_t cGreen = 0x00FF00;
constexpr std::uint32_t cBlue = 0x0000FF;
constexpr std::uint32_t cYellow = 0xFFFF00;
constexpr std::uint32_t cWhite = 0xFFFFFF;
constexpr const char* cPlaying = "To+ Rw+ Pl- Pa+ St+ FF+";
constexpr const char* cNoRecording = "To- Rw- Pl- Pa- St- FF-";

// 64 x 64: A at 0 ms; at 500 ms only the bottom-right tile turns white.
TRecordingContent TwoPictures(std::uint32_t voiceMs) {
    TRecordingContent content;
    content.Width = 64;
    content.Height = 64;
    content.Pictures = {{0, TilePicture(2, 2, {cRed, cGreen, cBlue, cYellow})},
                        {500, TilePicture(2, 2, {cRed, cGreen, cBlue, cWhite})}};
    content.Cursors = {{300, 10, 20}, {5000, 40, 30}};
    content.SoundTrack = VoiceTrack(Tone(voiceMs));
    return content;
}

class PlayerWindowTest : public PlayerTest {};

TEST_F(PlayerWindowTest, PicturesAndCursorFollowTheAudioClock) {
    TWatchdog watchdog("PicturesAndCursorFollowTheAudioClock");
    const std::string file = Write("two.vsr", TwoPictures(1500), ExactTiles());
    ASSERT_TRUE(Window().OpenRecording(file));
    EXPECT_EQ(Buttons(), cPlaying);
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(63, 63) != 0; }));
    const std::uint32_t before = Window().PlayTime();
    const std::uint32_t corner = BitmapPixel(40, 40);
    const std::uint32_t after = Window().PlayTime();
    if (after < 480) {
        EXPECT_EQ(corner, cYellow) << "the changed tile waits for 500 ms; clock " << before;
    }
    EXPECT_EQ(BitmapPixel(0, 0), cRed);
    EXPECT_EQ(BitmapPixel(33, 0), cGreen);
    EXPECT_EQ(BitmapPixel(0, 33), cBlue);
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(40, 40) == cWhite; }));
    EXPECT_GE(Window().PlayTime(), 500u);
    EXPECT_EQ(Window().CursorPos(), (TPoint{40, 30})) << "the next recorded position after T";
    EXPECT_TRUE(FTrace->Contains("Delay with cursor update: 500"));
    EXPECT_TRUE(FTrace->Contains("Img: 32, 32  32, 32    Time: 0, PlayTime: 0"));
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(PlayerWindowTest, PanelShowsThePictureScaledWithBlackBarsAndTheCursor) {
    TWatchdog watchdog("PanelShowsThePictureScaledWithBlackBarsAndTheCursor");
    TRecordingContent content;
    content.Width = 64;
    content.Height = 32;
    content.Pictures = {{0, TilePicture(2, 1, {cRed, cBlue})}};
    content.Cursors = {{5000, 16, 8}};
    content.SoundTrack = VoiceTrack(Tone(2000));
    ASSERT_TRUE(Window().OpenRecording(Write("wide.vsr", content, ExactTiles())));
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(40, 0) == cBlue; }));
    Button("PauseButton")->click();
    auto* panel = Window().findChild<QWidget*>("PlayPanel");
    ASSERT_NE(panel, nullptr);
    // A panel of 257 x 201: the picture is drawn 4 times larger at (0, 36) - (256, 164).
    Window().resize(Window().width() - panel->width() + 257,
                    Window().height() - panel->height() + 201);
    Pump(50);
    ASSERT_EQ(panel->size(), QSize(257, 201));
    const QImage shot = panel->grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto rgb = [&](int x, int y) { return shot.pixel(x, y) & 0xFFFFFFu; };
    EXPECT_EQ(rgb(2, 40), cRed);
    EXPECT_EQ(rgb(250, 160), cBlue);
    EXPECT_EQ(rgb(128, 20), 0u) << "bar above";
    EXPECT_EQ(rgb(128, 170), 0u) << "bar below";
    EXPECT_EQ(rgb(256, 100), 0u) << "bar right of the picture";
    EXPECT_EQ(rgb(2, 35), 0u);
    EXPECT_EQ(rgb(2, 36), cRed);
    // The cursor's top-left corner goes at (16, 8) recorded = (64, 68) on the panel, 4 times
    // larger; its part below the picture is covered by the bottom bar.
    const TCursorPicture& cursor = TCursorPicture::Instance();
    int opaqueChecked = 0;
    for (int cy = 0; cy < TCursorPicture::Height; ++cy)
        for (int cx = 0; cx < TCursorPicture::Width; ++cx) {
            const int x = 64 + cx * 4 + 1;
            const int y = 68 + cy * 4 + 1;
            const std::uint32_t under = y >= 164 ? 0u : (x < 128 ? cRed : cBlue);
            const std::uint32_t expected = y >= 164 || cursor.Transparent(cx, cy)
                                               ? under
                                               : cursor.Pixels()[cy * 32 + cx] & 0xFFFFFFu;
            opaqueChecked += cursor.Transparent(cx, cy) ? 0 : 1;
            ASSERT_EQ(rgb(x, y), expected) << "cursor pixel " << cx << ", " << cy;
        }
    EXPECT_GT(opaqueChecked, 50);
}

TEST_F(PlayerWindowTest, AnInvalidFileIsRefusedWithAnErrorBox) {
    const std::string file = FixtureFile("junk.vsr");
    WriteFileBytes(file, Bytes(300, 0x41));
    EXPECT_FALSE(Window().OpenRecording(file));
    EXPECT_EQ(FErrors, std::vector<std::string>{"Invalid Screen Recorder File"});
    EXPECT_FALSE(Window().HasRecording());
    EXPECT_EQ(Window().Bitmap(), nullptr);
    EXPECT_EQ(Buttons(), cNoRecording);
    EXPECT_TRUE(Button("LoadButton")->isEnabled());
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(PlayerWindowTest, AMissingFileIsNamedInTheErrorBox) {
    const std::string file = FTemp->File("none.vsr");
    EXPECT_FALSE(Window().OpenRecording(file));
    EXPECT_EQ(FErrors, std::vector<std::string>{"File " + file + " not found."});
    EXPECT_FALSE(Window().HasRecording());
}

TEST_F(PlayerWindowTest, AnEmptyVoiceTrackIsRefusedAndLeavesNoFile) {
    TRecordingContent content = TwoPictures(100);
    content.SoundTrack.clear();
    EXPECT_FALSE(Window().OpenRecording(Write("mute.vsr", content, ExactTiles())));
    ASSERT_EQ(FErrors.size(), 1u);
    EXPECT_EQ(FErrors[0], "Invalid SPX file");
    EXPECT_FALSE(Window().HasRecording());
    EXPECT_EQ(Buttons(), cNoRecording);
    EXPECT_TRUE(TempFiles().empty());
}

TEST_F(PlayerWindowTest, OpeningASecondRecordingWhileOnePlaysStartsItFromTheBeginning) {
    TWatchdog watchdog("OpeningASecondRecordingWhileOnePlays");
    ASSERT_TRUE(Window().OpenRecording(Write("one.vsr", TwoPictures(1500), ExactTiles())));
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 100; }));
    const std::string firstVoice = Window().AudioFile();
    ASSERT_TRUE(std::filesystem::exists(firstVoice));
    TRecordingContent second;
    second.Width = 96;
    second.Height = 32;
    second.Pictures = {{0, TilePicture(3, 1, {cGreen, cGreen, cBlue})}};
    second.SoundTrack = VoiceTrack(Tone(1000));
    ASSERT_TRUE(Window().OpenRecording(Write("second.vsr", second, ExactTiles())));
    EXPECT_FALSE(std::filesystem::exists(firstVoice));
    EXPECT_EQ(TempFiles().size(), 1u) << "only the second voice track";
    ASSERT_NE(Window().Bitmap(), nullptr);
    EXPECT_EQ(Window().Bitmap()->Width(), 96);
    EXPECT_LT(Window().PlayTime(), 100u);
    ASSERT_TRUE(PumpUntil([&] { return BitmapPixel(70, 10) == cBlue; }));
    EXPECT_EQ(Buttons(), cPlaying);
    EXPECT_TRUE(FErrors.empty());
}

TEST_F(PlayerWindowTest, NoTemporaryFileIsLeftAfterClosingTheRecordingOrTheWindow) {
    TWatchdog watchdog("NoTemporaryFileIsLeft");
    const std::string file = Write("two.vsr", TwoPictures(1000), ExactTiles());
    ASSERT_TRUE(Window().OpenRecording(file));
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 50; }));
    EXPECT_EQ(TempFiles().size(), 1u);
    Window().CloseRecording();
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_EQ(Buttons(), cNoRecording);

    // The window also removes the sound library copy it was given.
    const std::vector<std::byte> library = ReadFileBytes(VSR_SNDKIT_PATH);
    const std::string copy = WriteSndKitCopy(library);
    ASSERT_FALSE(copy.empty());
    ChooseSndKitFile(copy, VSR_SNDKIT_PATH);
    ASSERT_EQ(SndKitLibrary().FileName(), copy);
    Window().SetSndKitCopy(copy);
    ASSERT_TRUE(Window().OpenRecording(file));
    ASSERT_TRUE(PumpUntil([&] { return Window().PlayTime() > 50; }));
    EXPECT_TRUE(SndKitLibrary().Loaded());
    EXPECT_EQ(TempFiles().size(), 2u);
    CloseWindow();
    EXPECT_TRUE(TempFiles().empty());
    EXPECT_TRUE(SndKitLibrary().FileName().empty());
}

} // namespace
} // namespace vsr::test
