// The seek bar and the time display of the player window, and the small helpers the window
// uses: time format, open-dialog filters, the link check, the button pictures.
#include "gui/PlayerTestSupport.h"

#include "controls/PlayTrackBar.h"
#include "player/ButtonGlyphs.h"
#include "player/FileFilter.h"
#include "player/WebLink.h"
#include "shell/Messages.h"
#include "support/Watchdog.h"

#include <QImage>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QToolButton>

namespace vsr::test {
namespace {

class PlayerSeekBarTest : public PlayerTest {};

// A voice track of 954.6 s whose first two silences lie at 0 - 4.2 s and 56 - 57 s, a third
// one covering most of the rest.
std::vector<std::int16_t> WorkedExampleVoice() {
    return Joined(
        {Silence(4200), Tone(51800), Silence(1000), Tone(1000), Silence(896400), Tone(200)});
}

TEST_F(PlayerSeekBarTest, IntervalsAreTheStretchesBetweenTheSilences) {
    TWatchdog watchdog("IntervalsAreTheStretchesBetweenTheSilences", std::chrono::seconds(60));
    TRecordingContent content;
    content.Width = 32;
    content.Height = 32;
    content.Pictures = {{0, TScreenPicture(32, 32, 0x808080)}};
    content.SoundTrack = VoiceTrack(WorkedExampleVoice());
    ASSERT_TRUE(Window().OpenRecording(Write("long.vsr", content, ExactTiles(954600))));
    auto* bar = Window().findChild<TPlayTrackBar*>("AudioTrackBar");
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->Max(), 15273600);
    EXPECT_EQ(bar->Frequency(), 1527360);
    const auto& intervals = bar->Intervals();
    ASSERT_EQ(intervals.Count(), 4u);
    EXPECT_EQ(intervals[0].Start, 0);
    EXPECT_EQ(intervals[0].End, 0);
    EXPECT_EQ(intervals[1].Start, 67200);
    EXPECT_EQ(intervals[1].End, 896000);
    EXPECT_EQ(intervals[2].Start, 912000);
    EXPECT_EQ(intervals[2].End, 928000);
    EXPECT_EQ(intervals[3].Start, 15270400);
    EXPECT_EQ(intervals[3].End, 15273600);
    EXPECT_EQ(Window().findChild<QLabel*>("TimeLabel")->text(), "0:00:00\n0:15:54");
    // On the bar of 346 x 29, the second interval is painted blue from x = 6 to 24.
    ASSERT_EQ(bar->size(), QSize(346, 29));
    Button("PauseButton")->click();
    bar->SetPosition(bar->Max());
    const QImage shot = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shot.pixel(20, 8) & 0xFFFFFFu, 0x0000FFu);
    EXPECT_NE(shot.pixel(26, 8) & 0xFFFFFFu, 0x0000FFu);
}

TEST_F(PlayerSeekBarTest, ThePlayersBarIgnoresMousePresses) {
    TWatchdog watchdog("ThePlayersBarIgnoresMousePresses");
    TRecordingContent content;
    content.Width = 32;
    content.Height = 32;
    content.Pictures = {{0, TScreenPicture(32, 32, 0x808080)}};
    content.SoundTrack = VoiceTrack(Tone(3000));
    ASSERT_TRUE(Window().OpenRecording(Write("bar.vsr", content, ExactTiles())));
    Button("PauseButton")->click();
    auto* bar = Window().findChild<TPlayTrackBar*>("AudioTrackBar");
    const std::int32_t position = bar->Position();
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(300, 14));
    EXPECT_EQ(bar->Position(), position);
    EXPECT_TRUE(FErrors.empty());
}

TEST(FormatTime, HoursMinutesAndSecondsWithTwoDigits) {
    EXPECT_EQ(FormatTime(3725, ":"), "1:02:05");
    EXPECT_EQ(FormatTime(0, ":"), "0:00:00");
    EXPECT_EQ(FormatTime(59, "."), "0.00.59");
    EXPECT_EQ(FormatTime(36000 + 60, ":"), "10:01:00");
}

TEST(QtNameFilters, PairsBecomeQtFilters) {
    EXPECT_EQ(QtNameFilters(sVSRFilter),
              (QStringList{"Screen Recorder Files (*.vsr)", "All files (*.*)"}));
    EXPECT_EQ(QtNameFilters("Pictures|*.bmp;*.jpg|Odd"), QStringList{"Pictures (*.bmp *.jpg)"});
    EXPECT_TRUE(QtNameFilters("").isEmpty());
}

TEST(ClassifyLink, OnlyHttpAndHttpsAddressesAreWebLinks) {
    EXPECT_EQ(ClassifyLink("https://example.com/page?a=1"), TLinkKind::Web);
    EXPECT_EQ(ClassifyLink("HTTP://EXAMPLE.COM"), TLinkKind::Web);
    for (const char* link : {"file:///bin/sh", "/usr/bin/xterm", "calc.exe", "javascript:alert(1)",
                             "mailto:someone@example.com", "http://", "ftp://example.com/x",
                             "vsrfile://example.com/a.vsr", ""})
        EXPECT_EQ(ClassifyLink(link), TLinkKind::Other) << link;
}

TEST(ButtonGlyphs, EachButtonHasItsOwnPictureInTwoStates) {
    const TGlyph glyphs[] = {TGlyph::ToStart, TGlyph::Rewind,      TGlyph::Play, TGlyph::Pause,
                             TGlyph::Stop,    TGlyph::FastForward, TGlyph::Load};
    std::vector<QImage> enabled;
    for (TGlyph glyph : glyphs) {
        const QImage on = GlyphPixmap(glyph, TGlyphState::Enabled).toImage();
        const QImage off = GlyphPixmap(glyph, TGlyphState::Disabled).toImage();
        EXPECT_NE(on, off);
        EXPECT_NE(on, QImage(on.size(), on.format()));
        for (const QImage& other : enabled)
            EXPECT_NE(on, other);
        enabled.push_back(on);
    }
}

} // namespace
} // namespace vsr::test
