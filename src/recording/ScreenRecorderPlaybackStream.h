#pragma once
// TScreenRecorderPlaybackStream: a recording read while it downloads from the server script
// "vsr_download.php". Two workers fetch it into a temporary file ("vsr" prefix, removed with
// the stream): the last part (key-frame index to the end) first, then, in parallel, the first
// part (the frame data) from its beginning. The base reader reads that file through its own
// file position, so playback can follow the download.
//
// Threads: create, start, seek, lock and destroy on the main thread (the one that pumps
// MessageQueue()). OnLastPartStarted, OnLastPartProgress and OnFirstPartProgress run on a
// worker thread and must not touch the window; the other events run on the main thread while
// it processes messages. The state accessors may be read from any thread. The destructor
// processes the main thread's messages while it waits for the workers.

#include "base/BackExec.h"
#include "platform/HttpClient.h"
#include "platform/Stream.h"
#include "recording/CustomScreenRecorderPlaybackFile.h"
#include "recording/StreamBlockSize.h"
#include "recording/StreamRequests.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace vsr {

class TScreenRecorderPlaybackStream : public TCustomScreenRecorderPlaybackFile {
public:
    using TNotifyEvent = std::function<void(TScreenRecorderPlaybackStream& sender)>;
    using TErrorEvent =
        std::function<void(TScreenRecorderPlaybackStream& sender, const std::string& message)>;

    // Raises EScreenRecorderPlaybackStream with sInvalidVSRHandler when address is no
    // streaming address. Sends nothing yet.
    explicit TScreenRecorderPlaybackStream(const std::string& address);
    ~TScreenRecorderPlaybackStream() override;

    // Starts both workers; the first-part worker waits until the header has been verified.
    void StartDownload();

    // Only once the last-part worker has ended.
    TStream& GetStream() override;
    // Refused with sVSRStreamCantSeekNow until KeyFramesKnown.
    std::uint32_t SeekTime(std::uint32_t time) override;
    std::uint32_t SeekKeyFrame(bool forward) override;

    // Hold the lock while reading through GetStream after the last part has completed.
    void Lock() { FDownloadLock.lock(); }
    void Unlock() { FDownloadLock.unlock(); }

    // -1 before KeyFramesKnown; then the highest k whose segments 0..k have arrived; the last
    // key frame once FirstPartDone.
    std::int32_t LastAvailableKeyFrame() const;
    std::int32_t LastCompleteKeyFrame() const { return FLastCompleteKeyFrame; }
    bool KeyFramesKnown() const { return FKeyFramesKnown; }
    bool FirstPartDone() const { return FFirstPartDone; }
    // Whether segment index may be read: the first part has arrived whole, or the segment has.
    bool MayReadSegment(std::int32_t index) const {
        return FirstPartDone() || index <= LastAvailableKeyFrame();
    }
    // Percent of what playback needs to start: the last part and the first part up to the end
    // of key-frame segment 0 (the whole file until the key-frame index has arrived).
    std::int32_t Progress() const { return FProgress; }
    // First-part bytes after the header that cover key-frame segment 0. Until the last part has
    // ended the first part fetches no further.
    std::int64_t FirstPartNeeded() const { return FFirstPartNeeded; }
    std::int64_t FileSize() const { return FFileSize; }
    const std::string& ServerURL() const { return FRequests.Address().ServerURL; }
    const std::string& RemoteFileName() const { return FRequests.Address().RemoteFileName; }

    // For tests: the time-out of each request (30 s). Set before StartDownload.
    void SetRequestTimeout(std::chrono::milliseconds timeout);

    TNotifyEvent OnLastPartStarted;   // worker: header verified, temporary file prepared
    TNotifyEvent OnLastPartProgress;  // worker: a last-part block was stored
    TNotifyEvent OnFirstPartProgress; // worker: a first-part block was stored
    TNotifyEvent OnLastPartFinished;  // main: last part complete, both lists loaded
    TErrorEvent OnLastPartError;      // main: the last-part worker failed
    TNotifyEvent OnFirstPartFinished; // main: first part complete
    TErrorEvent OnFirstPartError;     // main: the first-part worker failed

private:
    void LastPartWork(TCustomBackExec& exec);
    void LastPartSteps(TCustomBackExec& exec);
    void PrepareTempFile(const TVSRHeader& header);
    void DownloadLastPart(TCustomBackExec& exec, TStreamBlockSize& blockSize);
    void LoadKeyFrameListEarly();
    void LastPartCompleted();
    void FirstPartWork(TCustomBackExec& exec);
    bool WaitForStartSignal(TCustomBackExec& exec);
    void DownloadFirstPart(TCustomBackExec& exec);
    std::int64_t BlockLimit(TCustomBackExec& exec, std::int64_t position);
    void AdvanceCompleteKeyFrames(std::int64_t position);
    void FirstPartCompleted();

    TByteString FetchWithRetries(TCustomBackExec& exec, THttpClient& client, std::int64_t position,
                                 std::int64_t sizeBytes, TStreamBlockSize& blockSize);
    void StoreBlock(std::int64_t position, const TByteString& bytes);
    void CountProgress(std::int64_t bytes);
    std::int64_t SegmentEnd(std::size_t index) const;
    void WaitForExec(TCustomBackExec& exec);
    // Sets flag and wakes the first-part worker waiting for its start.
    void RaiseSignal(std::atomic<bool>& flag);
    void RemoveTempFile();

    std::atomic<bool> FDestroying = false;
    TStreamRequests FRequests;
    std::mutex FDownloadLock;
    std::atomic<std::int64_t> FFileSize = 0;
    std::uint32_t FChecksum = 0;
    std::unique_ptr<TBackExec> FLastPartExec;
    std::unique_ptr<TBackExec> FFirstPartExec;
    std::atomic<std::int32_t> FLastCompleteKeyFrame = -1;
    std::atomic<bool> FKeyFramesKnown = false;
    std::atomic<bool> FFirstPartDone = false;
    std::atomic<std::int64_t> FFirstPartArrived = 0; // end of the first part's bytes so far
    std::unique_ptr<THttpClient> FFirstPartClient;
    std::unique_ptr<THttpClient> FLastPartClient;
    std::string FLastPartError;
    std::string FFirstPartError;
    std::atomic<bool> FStartSignal = false;
    std::mutex FSignalLock;
    std::condition_variable FSignalChanged;
    std::atomic<bool> FLastPartEnded = false; // the last-part worker has ended, however
    std::atomic<bool> FKeyFrameListLoaded = false;
    std::atomic<std::int32_t> FProgress = 0;
    std::atomic<std::int64_t> FProgressTotal = 0;
    std::atomic<std::int64_t> FProgressCount = 0;
    std::atomic<std::int64_t> FFirstPartNeeded = 0;
    // The workers write the temporary file through this stream, under FDownloadLock; the base
    // reader reads it through its own.
    std::unique_ptr<TFileStream> FWriteStream;
};

} // namespace vsr
