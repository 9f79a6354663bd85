#pragma once
// TPreviewComposer: composes thumbnails of the picture at a play time on one worker thread of
// its own, from a reader of its own, so that it never shares the playback loop's reader.
//
// Only the latest request matters: a request replaces the one still waiting, and a
// composition is abandoned between its steps once a newer request waits. For each request the
// key frame's picture (held in a TKeyFramePictures) is delivered first, then the exact picture
// at the time; both as thumbnails, through the deliver function, on the worker thread.
//
// Create, request and stop on one thread (the main thread). The reader is opened on the worker
// at the first request; a reader that fails is dropped and opened again at the next one.

#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "render/KeyFramePictures.h"

#include <QImage>
#include <QSize>

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>

namespace vsr {

struct TPreviewPicture {
    std::uint64_t Request = 0; // as Request returned it
    std::uint32_t Time = 0;    // the time requested
    bool Exact = false;        // false: the picture at the key frame before Time
    QImage Thumbnail;
};

class TPreviewComposer {
public:
    using TReaderFactory = std::function<std::unique_ptr<TCustomScreenRecorderPlaybackFile>()>;
    // Runs on the worker thread.
    using TDeliver = std::function<void(TPreviewPicture picture)>;

    TPreviewComposer(TReaderFactory factory, QSize thumbnailSize, TDeliver deliver,
                     std::size_t cacheBytes = TKeyFramePictures::cDefaultCapacity);
    ~TPreviewComposer();
    TPreviewComposer(const TPreviewComposer&) = delete;
    TPreviewComposer& operator=(const TPreviewComposer&) = delete;

    // Starts the worker when it is not running; the request's number (never 0).
    std::uint64_t Request(std::uint32_t time);
    // Drops the waiting request, stops the worker and waits for it; the reader and the held
    // pictures stay for the next request.
    void Stop();
    bool Running() const { return FWorker.joinable(); }

private:
    struct TJob {
        std::uint64_t Request = 0;
        std::uint32_t Time = 0;
    };

    void Run(std::stop_token stop);
    void Compose(const TJob& job, std::stop_token stop);
    bool Superseded(std::stop_token stop);
    QImage Thumbnail(const TBitmap32& picture) const;

    TReaderFactory FFactory;
    QSize FThumbnailSize;
    TDeliver FDeliver;
    std::uint64_t FLastRequest = 0;
    // Worker only (handed on between workers by join and start).
    std::unique_ptr<TCustomScreenRecorderPlaybackFile> FReader;
    TKeyFramePictures FPictures;
    std::mutex FLock;
    std::condition_variable_any FWake;
    std::optional<TJob> FPending; // under FLock
    std::jthread FWorker;         // last, so that it is joined before the rest goes
};

} // namespace vsr
