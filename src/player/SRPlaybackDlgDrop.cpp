// Dropping a recording or an address onto the window opens it as Open and Open URL do.
#include "player/SRPlaybackDlg.h"

#include "recording/StreamAddress.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <optional>

namespace vsr {

namespace {

// A local .vsr file or a streaming address; nothing else is taken.
std::optional<std::string> DroppedSource(const QMimeData* data) {
    if (!data)
        return std::nullopt;
    QList<QUrl> urls = data->urls();
    if (urls.isEmpty() && data->hasText())
        urls.append(QUrl(data->text().trimmed()));
    if (urls.size() != 1)
        return std::nullopt;
    const QUrl& url = urls.front();
    if (url.isLocalFile()) {
        const QString path = url.toLocalFile();
        if (path.endsWith(".vsr", Qt::CaseInsensitive))
            return path.toStdString();
        return std::nullopt;
    }
    const std::string address = url.toString().toStdString();
    if (IsStreamAddress(address))
        return address;
    return std::nullopt;
}

} // namespace

void TSRPlaybackDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedSource(event->mimeData()))
        event->acceptProposedAction();
}

void TSRPlaybackDlg::dropEvent(QDropEvent* event) {
    const std::optional<std::string> source = DroppedSource(event->mimeData());
    if (!source)
        return;
    event->acceptProposedAction();
    // Opened after the drag has ended: an error box must not run inside the drag's loop.
    QTimer::singleShot(0, this, [this, name = *source] { OpenRecording(name); });
}

} // namespace vsr
