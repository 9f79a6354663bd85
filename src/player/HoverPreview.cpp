#include "player/HoverPreview.h"

#include "player/SRPlaybackDlg.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace vsr {

namespace {

QSize ThumbnailSizeFor(QSize screen) {
    if (screen.isEmpty())
        return {THoverPreview::cThumbnailSide, THoverPreview::cThumbnailSide * 3 / 4};
    return screen
        .scaled(THoverPreview::cThumbnailSide, THoverPreview::cThumbnailSide, Qt::KeepAspectRatio)
        .expandedTo({1, 1});
}

} // namespace

THoverPreview::THoverPreview(QWidget* parent, QSize screen,
                             TPreviewComposer::TReaderFactory factory, std::size_t cacheBytes)
    : QWidget(parent), FThumbnailSize(ThumbnailSizeFor(screen)),
      FMessages(MessageQueue().CreateTarget([this](const TMessage&) { TakeReady(); })),
      FComposer(
          std::move(factory), FThumbnailSize,
          [this](TPreviewPicture picture) {
              {
                  std::lock_guard lock(FReadyLock);
                  FReady = std::move(picture);
              }
              FMessages->Post({cFirstUserMessage, 0, 0});
          },
          cacheBytes) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const int textHeight = QFontMetrics(font()).height();
    resize(FThumbnailSize.width() + 2 * cBorder,
           FThumbnailSize.height() + textHeight + 3 * cBorder);
    hide();
}

THoverPreview::~THoverPreview() {
    FComposer.Stop();
}

// A newer picture may already have replaced the one the message was posted for.
void THoverPreview::TakeReady() {
    std::optional<TPreviewPicture> picture;
    {
        std::lock_guard lock(FReadyLock);
        picture.swap(FReady);
    }
    if (picture)
        Received(*picture);
}

void THoverPreview::ShowAt(std::uint32_t time, QPoint anchor) {
    if (time != FTime || FRequest == 0) {
        FTime = time;
        FTimeText = QString::fromStdString(FormatTime(time / 1000, ":"));
        FExact = false;
        FRequest = FComposer.Request(time);
    }
    const QWidget* area = parentWidget();
    const int maxLeft = area ? std::max(0, area->width() - width()) : anchor.x();
    move(std::clamp(anchor.x() - width() / 2, 0, maxLeft),
         std::max(0, anchor.y() - cGap - height()));
    raise();
    show();
    update();
}

void THoverPreview::Received(const TPreviewPicture& picture) {
    if (picture.Request != FRequest)
        return;
    // The key frame's picture does not replace the exact one, should it come late.
    if (FExact && !picture.Exact)
        return;
    FThumbnail = picture.Thumbnail;
    FExact = picture.Exact;
    update();
}

void THoverPreview::hideEvent(QHideEvent* event) {
    FRequest = 0;
    FComposer.Stop();
    QWidget::hideEvent(event);
}

void THoverPreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::ToolTipBase));
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect thumbnail(QPoint(cBorder, cBorder), FThumbnailSize);
    if (FThumbnail.isNull())
        painter.fillRect(thumbnail, Qt::black);
    else
        painter.drawImage(thumbnail, FThumbnail);
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.drawText(
        QRect(0, thumbnail.bottom() + cBorder, width(), height() - thumbnail.bottom() - cBorder),
        Qt::AlignCenter, FTimeText);
}

} // namespace vsr
