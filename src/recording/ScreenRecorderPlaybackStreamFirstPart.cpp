// The first-part worker of TScreenRecorderPlaybackStream and its completion on the main thread.
#include "recording/ScreenRecorderPlaybackStream.h"

#include "shell/Messages.h"
#include "shell/Trace.h"

#include <algorithm>
#include <thread>

namespace vsr {

namespace {

constexpr std::int64_t HeaderBytes = sizeof(TVSRHeader);
constexpr auto SignalPollStep = std::chrono::milliseconds(50);
constexpr auto BlockWaitStep = std::chrono::milliseconds(5);

} // namespace

void TScreenRecorderPlaybackStream::FirstPartWork(TCustomBackExec& exec) {
    Trace("Download first part start - waiting signal");
    if (WaitForStartSignal(exec)) {
        try {
            DownloadFirstPart(exec);
        } catch (const std::exception& error) {
            FFirstPartError = error.what();
        }
    }
    Trace("Download first part end");
}

bool TScreenRecorderPlaybackStream::WaitForStartSignal(TCustomBackExec& exec) {
    // Woken by the signal and by destruction; the step bounds the wait for the executor's stop.
    std::unique_lock lock(FSignalLock);
    while (!FStartSignal && !exec.Terminated() && !FDestroying)
        FSignalChanged.wait_for(lock, SignalPollStep);
    return !exec.Terminated() && !FDestroying;
}

void TScreenRecorderPlaybackStream::DownloadFirstPart(TCustomBackExec& exec) {
    Trace("Download first part start - signal to start");
    TStreamBlockSize blockSize;
    std::int64_t position = HeaderBytes;
    const std::int64_t end = Header().KeyFrameIndexOffset;
    while (position < end && !exec.Terminated()) {
        const std::int64_t size =
            std::min(blockSize.Bytes(), BlockLimit(exec, position) - position);
        if (size <= 0)
            break; // stopped while waiting for the last part
        const TByteString bytes =
            FetchWithRetries(exec, *FFirstPartClient, position, size, blockSize);
        if (FDestroying)
            break;
        if (bytes.empty())
            throw EScreenRecorderPlaybackStream(std::string(sVSRStreamNoData));
        StoreBlock(position, bytes);
        const auto arrived = static_cast<std::int64_t>(bytes.size());
        const std::int64_t neededEnd = FFirstPartNeeded + HeaderBytes;
        const std::int64_t counted = neededEnd >= position + arrived
                                         ? arrived
                                         : std::max<std::int64_t>(neededEnd - position, 0);
        position += arrived;
        FFirstPartArrived = position;
        if (counted > 0) {
            CountProgress(counted);
            TraceFmt("Download count: %d, Progress: %d, Total: %d, Block Size: %d first part",
                     FProgressCount.load(), FProgress.load(), FProgressTotal.load(), counted);
        }
        if (FKeyFrameListLoaded) {
            AdvanceCompleteKeyFrames(position);
            FSignalChanged.notify_all(); // the voice may follow the pictures further
        }
        if (!exec.Terminated() && OnFirstPartProgress)
            OnFirstPartProgress(*this);
    }
    if (!FDestroying && position >= end)
        RaiseSignal(FFirstPartDone);
}

// Both parts share the line. Until the last part has ended, the first part fetches only what the
// start needs and then waits, so that the start is not delayed by frame data fetched beyond it;
// and a block never runs past that need, as a block counts only once it has arrived whole.
// The end of the next block; position itself when stopped.
std::int64_t TScreenRecorderPlaybackStream::BlockLimit(TCustomBackExec& exec,
                                                       std::int64_t position) {
    const std::int64_t end = Header().KeyFrameIndexOffset;
    for (;;) {
        if (exec.Terminated() || FDestroying)
            return position;
        if (FKeyFrameListLoaded) {
            const std::int64_t neededEnd = FFirstPartNeeded + HeaderBytes;
            if (position < neededEnd)
                return std::min(neededEnd, end);
        }
        if (FLastPartEnded || StartVoiceArrived())
            return end;
        // Until the index tells what the start needs, one block of the first block's size.
        if (!FKeyFrameListLoaded && position == HeaderBytes)
            return std::min(position + TStreamBlockSize::InitialBytes, end);
        std::this_thread::sleep_for(BlockWaitStep);
    }
}

bool TScreenRecorderPlaybackStream::StartVoiceArrived() const {
    const std::int64_t voiceEnd = FStartVoiceEnd;
    return voiceEnd >= 0 && FVoiceArrived >= voiceEnd;
}

// One block can complete several segments. The last part's completion counts what arrived
// before it, so two threads may advance; neither takes back what the other found.
void TScreenRecorderPlaybackStream::AdvanceCompleteKeyFrames(std::int64_t position) {
    const auto last = static_cast<std::int32_t>(KeyFrames().Count()) - 1;
    std::int32_t known = FLastCompleteKeyFrame;
    std::int32_t complete = known;
    while (complete < last && position >= SegmentEnd(static_cast<std::size_t>(complete + 1)))
        ++complete;
    while (complete > known && !FLastCompleteKeyFrame.compare_exchange_weak(known, complete)) {
    }
}

// Reported like the last part's: playback must not wait for data that will never come.
void TScreenRecorderPlaybackStream::FirstPartCompleted() {
    if (FDestroying)
        return;
    const std::string error = std::exchange(FFirstPartError, {});
    if (!error.empty()) {
        if (OnFirstPartError)
            OnFirstPartError(*this, error);
    } else if (FFirstPartDone && OnFirstPartFinished) {
        OnFirstPartFinished(*this);
    }
}

} // namespace vsr
