#pragma once
// TScreenRecorderPlaybackStream: a recording read while it downloads, by HTTP range requests
// from any web server (an http:// or https:// address of a ".vsr" file whose server serves
// ranges) or else from the server script "vsr_download.php". Two workers fetch it into a temporary
// file ("vsr" prefix, removed with the stream): the last part (key-frame index to the end) first,
// then, in parallel, the first part (the frame data) from its beginning. The base reader reads that
// file through its own file position, so playback can follow the download.
//
// The last part comes in the order playback needs it: the key-frame index and the pointer
// track, then its head's rest (the overlay, the voice's header and silence table), then the
// voice's frames in order. Once a voice map is set, the voice is fetched only as far as the
// start needs (key-frame segment 0 and a lead) until playback may start, then the rest at once;
// without one it is fetched whole.
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
#include "recording/RangeRequests.h"
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
#include <utility>
#include <vector>

namespace vsr {

class TScreenRecorderPlaybackStream : public TCustomScreenRecorderPlaybackFile {
public:
    using TNotifyEvent = std::function<void(TScreenRecorderPlaybackStream& sender)>;
    // How far beyond key-frame segment 0 the start's voice reaches, with a voice map.
    static constexpr std::int64_t VoiceLeadMs = 5000;
    using TErrorEvent =
        std::function<void(TScreenRecorderPlaybackStream& sender, const std::string& message)>;

    // Raises EScreenRecorderPlaybackStream with sInvalidVSRHandler when address is no
    // streaming address. Sends nothing yet.
    explicit TScreenRecorderPlaybackStream(const std::string& address);
    ~TScreenRecorderPlaybackStream() override;

    // Starts both workers; the first-part worker waits until the header has been verified.
    void StartDownload();

    // Once the head has arrived; until the last part has ended, only the head may be read.
    TStream& GetStream() override;
    // Refused with sVSRStreamCantSeekNow until KeyFramesKnown, but for time 0 once playback
    // may start.
    std::uint32_t SeekTime(std::uint32_t time) override;
    std::uint32_t SeekKeyFrame(bool forward) override;

    // Hold the lock while reading through GetStream before the last part has completed.
    void Lock() { FDownloadLock.lock(); }
    void Unlock() { FDownloadLock.unlock(); }

    // -1 before HeadArrived or KeyFramesKnown; then the highest k whose segments 0..k have
    // arrived; the last key frame once FirstPartDone.
    std::int32_t LastAvailableKeyFrame() const;
    std::int32_t LastCompleteKeyFrame() const { return FLastCompleteKeyFrame; }
    bool KeyFramesKnown() const { return FKeyFramesKnown; }
    // The key-frame index, the pointer track, the overlay and the voice's header and silence
    // table have arrived (never, when the voice is not laid out as an SPX stream with a table).
    bool HeadArrived() const { return FHeadArrived; }
    // Where the voice's bytes have arrived in order up to (a file offset).
    std::int64_t VoiceArrived() const { return FVoiceArrived; }
    // Maps a play time to the offset, counted from the voice track's first byte, up to which
    // the voice must be there to play to that time.
    using TVoiceMap = std::function<std::int64_t(std::uint32_t time)>;
    // Main thread, once the head has arrived.
    void SetVoiceMap(const TVoiceMap& map);
    // The head, key-frame segment 0 and the voice to segment 0's end and the lead have arrived
    // (the whole last part, without a voice map).
    bool MayStart() const;
    bool FirstPartDone() const { return FFirstPartDone; }
    // Whether segment index may be read: the first part has arrived whole, or the segment has.
    bool MayReadSegment(std::int32_t index) const {
        return FirstPartDone() || index <= LastAvailableKeyFrame();
    }
    // Percent of what playback needs to start: the last part (of the voice's frames only what
    // the start needs, with a voice map) and the first part up to the end of key-frame
    // segment 0 (the whole file until the key-frame index has arrived).
    std::int32_t Progress() const { return FProgress; }
    // First-part bytes after the header that cover key-frame segment 0. Until the last part has
    // ended, or the voice the start needs has arrived, the first part fetches no further.
    std::int64_t FirstPartNeeded() const { return FFirstPartNeeded; }
    std::int64_t FileSize() const { return FFileSize; }
    // The server script's address and the file it is asked for, also when the recording comes
    // by range requests.
    const std::string& ServerURL() const { return FScript.Address().ServerURL; }
    const std::string& RemoteFileName() const { return FScript.Address().RemoteFileName; }
    // Whether the recording comes by HTTP range requests; known once OnLastPartStarted fired.
    bool ByRanges() const { return FByRanges; }

    // For tests: the time-out of each request (30 s). Set before StartDownload.
    void SetRequestTimeout(std::chrono::milliseconds timeout);

    TNotifyEvent OnLastPartStarted; // worker: header verified, temporary file prepared
    // worker: HeadArrived; the voice's frames wait for SetVoiceMap when this is set.
    TNotifyEvent OnLastPartHeadArrived;
    TNotifyEvent OnLastPartProgress;  // worker: a last-part block was stored
    TNotifyEvent OnFirstPartProgress; // worker: a first-part block was stored
    TNotifyEvent OnLastPartFinished;  // main: last part complete, both lists loaded
    TErrorEvent OnLastPartError;      // main: the last-part worker failed
    TNotifyEvent OnFirstPartFinished; // main: first part complete
    TErrorEvent OnFirstPartError;     // main: the first-part worker failed

private:
    void LastPartWork(TCustomBackExec& exec);
    void LastPartSteps(TCustomBackExec& exec);
    TFileInformation RequestInformation();
    void PrepareTempFile(const TVSRHeader& header);
    void DownloadLastPart(TCustomBackExec& exec, TStreamBlockSize& blockSize);
    // Fetches what of [from, to) has not been fetched yet, in order.
    void FetchRange(TCustomBackExec& exec, std::int64_t from, std::int64_t to,
                    TStreamBlockSize& blockSize);
    void FetchBlock(TCustomBackExec& exec, std::int64_t position, std::int64_t size,
                    TStreamBlockSize& blockSize);
    void AddFetched(std::int64_t from, std::int64_t to);
    std::int64_t FetchedUpTo(std::int64_t position) const;
    bool Fetched(std::int64_t from, std::int64_t to) const;
    bool FetchHead(TCustomBackExec& exec, TStreamBlockSize& blockSize);
    void FetchVoiceFrames(TCustomBackExec& exec, TStreamBlockSize& blockSize);
    // The end of the voice to fetch now; waits for the map, and at the start's voice for the
    // start.
    std::int64_t VoiceLimit(TCustomBackExec& exec);
    void LoadKeyFrameListEarly();
    void LastPartCompleted();
    void FirstPartWork(TCustomBackExec& exec);
    bool WaitForStartSignal(TCustomBackExec& exec);
    void DownloadFirstPart(TCustomBackExec& exec);
    std::int64_t BlockLimit(TCustomBackExec& exec, std::int64_t position);
    void AdvanceCompleteKeyFrames(std::int64_t position);
    bool StartVoiceArrived() const;
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
    TStreamRequests FScript;
    // For an address of a ".vsr" file over HTTP: tried first. The last-part worker chooses the
    // protocol before the first part starts.
    std::unique_ptr<TRangeRequests> FRange;
    TStreamProtocol* FProtocol = &FScript;
    std::atomic<bool> FByRanges = false;
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
    std::atomic<bool> FHeadArrived = false;
    std::atomic<bool> FCursorsLoaded = false;
    std::vector<std::pair<std::int64_t, std::int64_t>> FFetched; // last-part worker only
    std::int64_t FVoiceOffset = 0;                               // the voice track's first byte
    std::int64_t FVoiceFramesEnd = 0; // where its frame records end (its silence table)
    std::atomic<std::int64_t> FVoiceArrived = 0;
    bool FVoiceMapExpected = false; // set at the start: OnLastPartHeadArrived is set
    std::atomic<std::int64_t> FStartVoiceEnd = -1;
    std::atomic<std::int32_t> FProgress = 0;
    std::atomic<std::int64_t> FProgressTotal = 0;
    std::atomic<std::int64_t> FProgressCount = 0;
    std::atomic<std::int64_t> FFirstPartNeeded = 0;
    // The workers write the temporary file through this stream, under FDownloadLock; the base
    // reader reads it through its own.
    std::unique_ptr<TFileStream> FWriteStream;
};

} // namespace vsr
