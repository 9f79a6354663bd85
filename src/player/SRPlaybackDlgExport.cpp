// Export to ordinary video from the right-click menu: the save dialog (the type chosen by the
// file type), then the export on a worker with a progress dialog; playback pauses meanwhile.
#include "player/SRPlaybackDlg.h"

#include "player/ErrorBox.h"
#include "recording/ScreenRecorderPlaybackStream.h"

#include <QAction>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <QToolButton>

#include <array>

namespace vsr {

namespace {

struct TExportType {
    const char* Filter;
    const char* Extension;
};

constexpr std::array cExportTypes{
    TExportType{"MP4 video (*.mp4)", "mp4"}, TExportType{"WebM video (*.webm)", "webm"},
    TExportType{"Animated GIF (*.gif)", "gif"}, TExportType{"Matroska video (*.mkv)", "mkv"}};

// The name as typed, with the chosen type's extension when it has none the export knows.
QString WithExtension(const QString& name, const QString& filter) {
    if (FindExportFormat(name.toStdString()))
        return name;
    for (const TExportType& type : cExportTypes)
        if (filter == type.Filter)
            return name + "." + type.Extension;
    return name + ".mp4";
}

} // namespace

// A stream can be exported once its last part (the index and the voice) has arrived; the
// export then waits for the rest.
bool TSRPlaybackDlg::ExportAllowed() const {
    if (!HasRecording() || !FAudioStream || FExport)
        return false;
    const TScreenRecorderPlaybackStream* stream = StreamReader();
    return !stream || stream->KeyFramesKnown();
}

void TSRPlaybackDlg::MExportClick() {
    if (!ExportAllowed())
        return;
    ShowMouseCursor(true);
    HideMouseTimer->stop();
    QFileDialog dialog(this, "Export");
    dialog.setObjectName("ExportDialog");
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    QStringList filters;
    for (const TExportType& type : cExportTypes)
        filters << type.Filter;
    dialog.setNameFilters(filters);
    const QFileInfo recording(QString::fromStdString(FReader->FileName()));
    dialog.selectFile(StreamReader() ? "recording.mp4" : recording.completeBaseName() + ".mp4");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        StartExport(WithExtension(dialog.selectedFiles().front(), dialog.selectedNameFilter())
                        .toStdString());
    if (!HeaderDelayTimer->isActive())
        HideMouseTimer->start();
}

void TSRPlaybackDlg::StartExport(const std::string& fileName) {
    FResumeAfterExport = FPlaying && FRunEvent.Signalled();
    if (FResumeAfterExport)
        PauseButtonClick();
    ExportProgress = new QProgressDialog(this);
    ExportProgress->setObjectName("ExportProgress");
    ExportProgress->setWindowTitle("Export");
    ExportProgress->setLabelText(QString("Exporting to %1\u2026")
                                     .arg(QFileInfo(QString::fromStdString(fileName)).fileName()));
    ExportProgress->setAttribute(Qt::WA_DeleteOnClose);
    ExportProgress->setMinimumDuration(0);
    ExportProgress->setAutoClose(false);
    ExportProgress->setAutoReset(false);
    connect(ExportProgress, &QProgressDialog::canceled, this, [this] {
        if (FExport)
            FExport->Cancel();
    });
    ExportProgress->show();
    const TScreenRecorderPlaybackStream* stream = StreamReader();
    std::function<bool()> complete;
    if (stream)
        complete = [stream] { return stream->FirstPartDone(); };
    FExport = std::make_unique<TExportRun>(
        FReader->FileName(), fileName, TExportOptions{}, complete,
        TExportRun::TEvents{
            [this](std::int64_t done, std::int64_t frames) { ExportProgressed(done, frames); },
            [this](const std::string& error, bool cancelled) { ExportEnded(error, cancelled); }});
}

void TSRPlaybackDlg::ExportProgressed(std::int64_t done, std::int64_t frames) {
    if (!ExportProgress)
        return;
    ExportProgress->setMaximum(static_cast<int>(frames));
    ExportProgress->setValue(static_cast<int>(done));
}

void TSRPlaybackDlg::ExportEnded(const std::string& error, bool cancelled) {
    FExport.reset();
    if (ExportProgress)
        ExportProgress->close();
    if (!error.empty() && !cancelled)
        ShowErrorBox(this, error);
    else if (error.empty())
        ShowOverlayText("Export finished");
    if (std::exchange(FResumeAfterExport, false) && FPlaying && !FRunEvent.Signalled())
        PlayButtonClick();
}

// Closing the recording ends its export: the partial file goes with it.
void TSRPlaybackDlg::CancelExport() {
    FExport.reset();
    FResumeAfterExport = false;
    if (ExportProgress)
        ExportProgress->close();
}

} // namespace vsr
