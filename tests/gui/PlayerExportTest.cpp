// Export from the right-click menu: the save dialog's file type chooses the format, playback
// pauses while the worker exports and goes on after it, and Cancel or closing the recording
// leave no file behind.
#include "gui/PlayerTestSupport.h"

#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>

#include <fstream>

namespace vsr::test {

using PlayerExport = PlayerTest;

TEST_F(PlayerExport, TheChosenTypeIsWrittenWhilePlaybackPausesAndCancelLeavesNothing) {
    const auto exportTo = [&](const std::string& name, const char* filter) {
        QTimer::singleShot(50, [&, name, filter] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->selectNameFilter(filter);
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(QString::fromStdString(name));
            QMetaObject::invokeMethod(dialog, "accept");
        });
        Window().MExportClick();
    };
    const auto exportEnabled = [&] {
        QMetaObject::invokeMethod(Find<QMenu>("TePopupMenu1"), "aboutToShow");
        return Find<QAction>("MExport")->isEnabled();
    };
    EXPECT_FALSE(exportEnabled()) << "no recording";
    ASSERT_TRUE(Window().OpenRecording(Write("r.vsr", Solid({{0, cRed}, {500, cBlue}}, 3000))));
    ASSERT_TRUE(exportEnabled() && Window().Playing());
    // A name without a known extension takes the chosen type's.
    exportTo(FFixtures.File("clip"), "Animated GIF (*.gif)");
    EXPECT_TRUE(Window().Exporting() && Buttons() == cPaused && !exportEnabled());
    ASSERT_TRUE(PumpUntil([&] { return !Window().Exporting(); }));
    std::string magic(6, ' ');
    std::ifstream(FFixtures.File("clip.gif")).read(magic.data(), 6);
    EXPECT_EQ(magic, "GIF89a");
    EXPECT_TRUE(Buttons() == cPlaying && FErrors.empty()) << "playback goes on";

    // Ten minutes of pictures: far longer to export than the test takes to cancel.
    ASSERT_TRUE(Window().OpenRecording(
        Write("long.vsr", Solid({{0, cRed}, {500, cBlue}}, 3000, 640, 480), ExactTiles(600000))));
    const auto files = [&] {
        return std::distance(std::filesystem::directory_iterator(FFixtures.Path()), {});
    };
    const auto before = files();
    exportTo(FFixtures.File("long.mp4"), "MP4 video (*.mp4)");
    Find<QProgressDialog>("ExportProgress")->findChild<QPushButton*>()->click();
    ASSERT_TRUE(PumpUntil([&] { return !Window().Exporting(); }));
    exportTo(FFixtures.File("long.webm"), "WebM video (*.webm)");
    Window().CloseRecording();
    EXPECT_TRUE(!Window().Exporting() && files() == before && FErrors.empty() && TempFiles() == 0);
}

} // namespace vsr::test
