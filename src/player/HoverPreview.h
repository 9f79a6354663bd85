#pragma once
// THoverPreview: the small picture shown above the seek bar while the pointer hovers over it:
// a thumbnail of the recording at the time under the pointer, and that time below it.
//
// The thumbnails come from a TPreviewComposer with its own reader; each arrives on the main
// thread by a queued call and is dropped when a newer request has been made since, or the
// preview has been hidden. Hiding stops the composer's worker. Main thread only.

#include "player/PreviewComposer.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QWidget>

#include "platform/MessageQueue.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>

class QHideEvent;
class QPaintEvent;

namespace vsr {

class THoverPreview : public QWidget {
    Q_OBJECT

public:
    static constexpr int cThumbnailSide = 240; // the longer side of the thumbnail
    static constexpr int cBorder = 2;
    static constexpr int cGap = 4; // between the preview and the point it is shown above

    // screen: the recording's picture size, whose aspect the thumbnail keeps.
    THoverPreview(QWidget* parent, QSize screen, TPreviewComposer::TReaderFactory factory,
                  std::size_t cacheBytes = TKeyFramePictures::cDefaultCapacity);
    ~THoverPreview() override;

    // Shows the preview of time with its bottom centre just above anchor (parent coordinates),
    // moved sideways as far as needed to stay inside the parent.
    void ShowAt(std::uint32_t time, QPoint anchor);

    std::uint32_t Time() const { return FTime; }
    QString TimeText() const { return FTimeText; }
    // The thumbnail shown; Exact when it is the picture at Time(), not a key frame's before it.
    const QImage& Thumbnail() const { return FThumbnail; }
    bool Exact() const { return FExact; }
    QSize ThumbnailSize() const { return FThumbnailSize; }
    bool Composing() const { return FComposer.Running(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void Received(const TPreviewPicture& picture);
    void TakeReady();

    QSize FThumbnailSize;
    std::uint32_t FTime = 0;
    QString FTimeText;
    std::uint64_t FRequest = 0; // the request whose pictures are shown; 0: none
    QImage FThumbnail;
    bool FExact = false;
    // The worker's latest picture, handed over through the program's message queue, whose
    // hand-over the thread checks see.
    std::mutex FReadyLock;
    std::optional<TPreviewPicture> FReady;
    std::unique_ptr<TMessageTarget> FMessages;
    TPreviewComposer FComposer; // last: its worker stops before the rest goes
};

} // namespace vsr
