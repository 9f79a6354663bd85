#include "recording/ScreenRecorderPlaybackStream.h"

#include "platform/MessageQueue.h"
#include "platform/TempFiles.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <algorithm>
#include <cassert>
#include <thread>

namespace vsr {

namespace {

constexpr int MaxAttempts = 3;
// Short passes keep the destructor quick once the workers have seen the abort.
constexpr auto WaitPassSleep = std::chrono::milliseconds(5);

TStreamAddress CheckedAddress(const std::string& address) {
    if (!IsStreamAddress(address))
        throw EScreenRecorderPlaybackStream(std::string(sInvalidVSRHandler));
    return SplitStreamAddress(address);
}

std::unique_ptr<THttpClient> MakeClient() {
    auto client = std::make_unique<THttpClient>();
    client->SetProxyHost(ProxySetting());
    return client;
}

} // namespace

TScreenRecorderPlaybackStream::TScreenRecorderPlaybackStream(const std::string& address)
    : FScript(CheckedAddress(address), FDestroying) {
    if (IsRangeAddress(address)) {
        FRange = std::make_unique<TRangeRequests>(address, FDestroying);
        FProtocol = FRange.get();
    }
    TraceFmt("VSR Streaming URL: %s, File: %s", ServerURL(), RemoteFileName());
    FLastPartExec = std::make_unique<TBackExec>();
    FLastPartExec->OnExec = [this](TCustomBackExec& exec) { LastPartWork(exec); };
    FLastPartExec->OnFinished = [this](TCustomBackExec&) { LastPartCompleted(); };
    FFirstPartExec = std::make_unique<TBackExec>();
    FFirstPartExec->OnExec = [this](TCustomBackExec& exec) { FirstPartWork(exec); };
    FFirstPartExec->OnFinished = [this](TCustomBackExec&) { FirstPartCompleted(); };
    FFirstPartClient = MakeClient();
    FLastPartClient = MakeClient();
}

TScreenRecorderPlaybackStream::~TScreenRecorderPlaybackStream() {
    Trace("Destroying VSRStream");
    RaiseSignal(FDestroying);
    FLastPartClient->Abort();
    FFirstPartClient->Abort();
    FLastPartExec->Terminate();
    FFirstPartExec->Terminate();
    Trace("Destroying VSRStream wait for last");
    WaitForExec(*FLastPartExec);
    FLastPartExec.reset();
    Trace("Destroying VSRStream wait for first");
    WaitForExec(*FFirstPartExec);
    FFirstPartExec.reset();
    Trace("Destroying VSRStream comps");
    FFirstPartClient.reset();
    FLastPartClient.reset();
    RemoveTempFile();
    Trace("VSRStream destroyed");
}

void TScreenRecorderPlaybackStream::StartDownload() {
    FVoiceMapExpected = static_cast<bool>(OnLastPartHeadArrived);
    FFirstPartExec->Execute();
    FLastPartExec->Execute();
}

void TScreenRecorderPlaybackStream::SetRequestTimeout(std::chrono::milliseconds timeout) {
    FScript.SetTimeout(timeout);
    if (FRange)
        FRange->SetTimeout(timeout);
}

TStream& TScreenRecorderPlaybackStream::GetStream() {
    const bool ready = FHeadArrived || FLastPartExec->Finished();
    assert(ready && "GetStream before the last part has been downloaded");
    if (!ready)
        throw EScreenRecorderPlaybackStream("GetStream before the last part has been downloaded");
    return TCustomScreenRecorderPlaybackFile::GetStream();
}

// Starting from the beginning is no seek: segment 0 is there once playback may start.
std::uint32_t TScreenRecorderPlaybackStream::SeekTime(std::uint32_t time) {
    if (!FKeyFramesKnown && !(time == 0 && MayStart()))
        throw EScreenRecorderPlaybackStream(std::string(sVSRStreamCantSeekNow));
    return TCustomScreenRecorderPlaybackFile::SeekTime(time);
}

std::uint32_t TScreenRecorderPlaybackStream::SeekKeyFrame(bool forward) {
    if (!FKeyFramesKnown)
        throw EScreenRecorderPlaybackStream(std::string(sVSRStreamCantSeekNow));
    return TCustomScreenRecorderPlaybackFile::SeekKeyFrame(forward);
}

std::int32_t TScreenRecorderPlaybackStream::LastAvailableKeyFrame() const {
    if (!FKeyFramesKnown && !FHeadArrived)
        return -1;
    if (!FFirstPartDone)
        return FLastCompleteKeyFrame;
    return static_cast<std::int32_t>(KeyFrames().Count()) - 1;
}

bool TScreenRecorderPlaybackStream::MayStart() const {
    if (LastAvailableKeyFrame() < 0)
        return false;
    return FKeyFramesKnown || StartVoiceArrived();
}

// The start's voice runs to segment 0's end and a lead beyond, so that the output, which asks
// a second ahead, is not held back at once.
void TScreenRecorderPlaybackStream::SetVoiceMap(const TVoiceMap& map) {
    std::int64_t end = FVoiceFramesEnd;
    if (KeyFrames().Count() > 1) {
        const std::int64_t time =
            std::min<std::int64_t>(std::int64_t{KeyFrameTime(1)} + VoiceLeadMs, UINT32_MAX);
        end = std::min(end, FVoiceOffset + map(static_cast<std::uint32_t>(time)));
    }
    FProgressTotal += std::max<std::int64_t>(end - FVoiceArrived, 0);
    {
        std::lock_guard lock(FSignalLock);
        FStartVoiceEnd = end;
    }
    FSignalChanged.notify_all();
}

// Retries a block that failed with a protocol error; the block size follows the request that
// succeeded.
TByteString TScreenRecorderPlaybackStream::FetchWithRetries(TCustomBackExec& exec,
                                                            THttpClient& client,
                                                            std::int64_t position,
                                                            std::int64_t sizeBytes,
                                                            TStreamBlockSize& blockSize) {
    for (int attempt = 1;; ++attempt) {
        const auto start = std::chrono::steady_clock::now();
        try {
            TByteString bytes = FProtocol->FetchBlock(client, position, sizeBytes);
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::steady_clock::now() - start);
            if (!FDestroying)
                blockSize.Adapt(static_cast<std::int64_t>(bytes.size()), elapsed);
            return bytes;
        } catch (const EScreenRecorderPlaybackStream&) {
            if (attempt >= MaxAttempts || exec.Terminated() || FDestroying)
                throw;
        }
    }
}

void TScreenRecorderPlaybackStream::StoreBlock(std::int64_t position, const TByteString& bytes) {
    std::lock_guard lock(FDownloadLock);
    FWriteStream->SetPosition(position);
    FWriteStream->WriteBuffer(bytes);
}

void TScreenRecorderPlaybackStream::CountProgress(std::int64_t bytes) {
    const std::int64_t count = FProgressCount.fetch_add(bytes) + bytes;
    const std::int64_t total = FProgressTotal;
    // First-part bytes counted before the total shrank can carry the count past it.
    const std::int64_t percent = total > 0 ? std::min<std::int64_t>(count * 100 / total, 100) : 100;
    FProgress.exchange(static_cast<std::int32_t>(percent));
}

std::int64_t TScreenRecorderPlaybackStream::SegmentEnd(std::size_t index) const {
    if (index + 1 < KeyFrames().Count())
        return KeyFrames()[index + 1].Offset;
    return Header().KeyFrameIndexOffset;
}

// Processes the main thread's messages, through which the executor reports its end.
// The flag is set under the lock, so that a waiter between its check and its wait cannot miss it.
void TScreenRecorderPlaybackStream::RaiseSignal(std::atomic<bool>& flag) {
    {
        std::lock_guard lock(FSignalLock);
        flag = true;
    }
    FSignalChanged.notify_all();
}

void TScreenRecorderPlaybackStream::WaitForExec(TCustomBackExec& exec) {
    while (!exec.Finished()) {
        MessageQueue().ProcessMessages();
        if (!exec.Finished())
            std::this_thread::sleep_for(WaitPassSleep);
    }
}

void TScreenRecorderPlaybackStream::RemoveTempFile() {
    FWriteStream.reset();
    AttachStream(nullptr);
    if (!FileName().empty())
        DeleteTempFile(FileName());
}

} // namespace vsr
