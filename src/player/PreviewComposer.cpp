#include "player/PreviewComposer.h"

#include "player/BitmapImage.h"
#include "render/Snapshot.h"

namespace vsr {

TPreviewComposer::TPreviewComposer(TReaderFactory factory, QSize thumbnailSize, TDeliver deliver,
                                   std::size_t cacheBytes)
    : FFactory(std::move(factory)), FThumbnailSize(thumbnailSize), FDeliver(std::move(deliver)),
      FPictures(cacheBytes) {}

TPreviewComposer::~TPreviewComposer() {
    Stop();
}

std::uint64_t TPreviewComposer::Request(std::uint32_t time) {
    const std::uint64_t request = ++FLastRequest;
    {
        const std::lock_guard lock(FLock);
        FPending = TJob{request, time};
    }
    if (Running())
        FWake.notify_one();
    else
        FWorker = std::jthread([this](std::stop_token stop) { Run(stop); });
    return request;
}

void TPreviewComposer::Stop() {
    {
        const std::lock_guard lock(FLock);
        FPending.reset();
    }
    if (!Running())
        return;
    FWorker.request_stop();
    FWorker.join();
    FWorker = {};
}

void TPreviewComposer::Run(std::stop_token stop) {
    while (true) {
        TJob job;
        {
            std::unique_lock lock(FLock);
            if (!FWake.wait(lock, stop, [this] { return FPending.has_value(); }))
                return;
            job = *FPending;
            FPending.reset();
        }
        try {
            if (!FReader)
                FReader = FFactory();
            Compose(job, stop);
        } catch (const std::exception&) {
            // A preview is not worth an error box: the next request opens the file again.
            FReader.reset();
            FPictures.Clear();
        }
    }
}

bool TPreviewComposer::Superseded(std::stop_token stop) {
    const std::lock_guard lock(FLock);
    return stop.stop_requested() || FPending.has_value();
}

void TPreviewComposer::Compose(const TJob& job, std::stop_token stop) {
    TCustomScreenRecorderPlaybackFile& reader = *FReader;
    if (const std::optional<std::size_t> keyFrame = KeyFrameAt(reader, job.Time);
        keyFrame && reader.KeyFrameTime(*keyFrame) != job.Time) {
        if (const TBitmap32* held = FPictures.Picture(reader, *keyFrame))
            FDeliver({job.Request, job.Time, false, Thumbnail(*held)});
        if (Superseded(stop))
            return;
    }
    TBitmap32 picture;
    PrepareBitmap(picture, reader.Header().Width, reader.Header().Height);
    ComposeCached(FPictures, reader, job.Time, picture);
    if (!stop.stop_requested())
        FDeliver({job.Request, job.Time, true, Thumbnail(picture)});
}

QImage TPreviewComposer::Thumbnail(const TBitmap32& picture) const {
    return WrapBitmap(picture).scaled(FThumbnailSize, Qt::IgnoreAspectRatio,
                                      Qt::SmoothTransformation);
}

} // namespace vsr
