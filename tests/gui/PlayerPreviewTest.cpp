// The preview over the seek bar: the picture at the time under the pointer, above the bar, gone
// when the pointer leaves; presses on the bar still do nothing.
#include "gui/PlayerTestSupport.h"

#include "controls/PlayTrackBar.h"
#include "player/HoverPreview.h"

namespace vsr::test {

class PlayerPreview : public PlayerTest {
protected:
    TPlayTrackBar* Bar() { return Find<TPlayTrackBar>("AudioTrackBar"); }
    THoverPreview* Preview() { return Find<THoverPreview>("HoverPreview"); }
    void Send(QEvent::Type type, int x, Qt::MouseButton button = Qt::NoButton) {
        const QPointF at(x, 14);
        QMouseEvent event(type, at, Bar()->mapToGlobal(at), button, button, {});
        QApplication::sendEvent(Bar(), &event);
    }
};

// Key frames at 0 and 800, each followed by a picture of its own: between them the key frame's
// picture comes first, then the exact one. The pointer stands where the thumb would at time.
TEST_F(PlayerPreview, ShowsThePictureAtThePointerAboveTheBarUntilItLeaves) {
    const auto content = Solid({{0, cRed}, {400, cGreen}, {800, cBlue}, {1200, cYellow}}, 1600);
    ASSERT_TRUE(Window().OpenRecording(Write("hover.vsr", content, ExactTiles(1600, 800))));
    Click("PauseButton");
    const std::int32_t pixelMs = Bar()->Max() / Bar()->UsableLength() / cPcmBytesPerMs + 1;
    const struct {
        std::uint32_t Time;
        std::uint32_t Colour;
        const char* Text;
    } rows[] = {{0, cRed, "0:00:00"},
                {600, cGreen, "0:00:00"},
                {1100, cBlue, "0:00:01"},
                {1500, cYellow, "0:00:01"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.Time);
        Bar()->SetPosition(static_cast<std::int32_t>(row.Time) * cPcmBytesPerMs);
        const int x = Bar()->ThumbCentre();
        Send(QEvent::MouseMove, x);
        THoverPreview* preview = Preview();
        ASSERT_TRUE(preview && preview->isVisible());
        EXPECT_NEAR(preview->Time(), row.Time, pixelMs);
        EXPECT_EQ(preview->TimeText(), row.Text);
        const QPoint pointer = Bar()->mapTo(&Window(), QPoint(x, 0));
        const QRect shown = preview->geometry();
        EXPECT_LT(shown.bottom(), pointer.y()) << "above the bar";
        EXPECT_TRUE(Window().rect().contains(shown));
        EXPECT_TRUE(std::abs(shown.center().x() - pointer.x()) <= 1 || shown.left() == 0 ||
                    shown.right() == Window().width() - 1)
            << "centred on the pointer unless at an edge: " << shown.left() << " " << pointer.x();
        ASSERT_TRUE(PumpUntil([&] { return preview->Exact(); }));
        const QImage& thumbnail = preview->Thumbnail();
        EXPECT_EQ(thumbnail.size(), QSize(240, 120));
        EXPECT_EQ(thumbnail.pixel(120, 60) & 0xFFFFFFu, row.Colour);
    }
    const std::int32_t position = Bar()->Position();
    const std::uint32_t playTime = Window().PlayTime();
    Send(QEvent::MouseButtonPress, 20, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, 20, Qt::LeftButton);
    EXPECT_TRUE(Bar()->Position() == position && Window().PlayTime() == playTime && FErrors.empty())
        << "the bar only displays";
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(Bar(), &leave);
    EXPECT_TRUE(Preview()->isHidden() && !Preview()->Composing());
    Window().CloseRecording();
    EXPECT_EQ(Window().findChild<THoverPreview*>("HoverPreview"), nullptr);
}

} // namespace vsr::test
