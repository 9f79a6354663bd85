// The last-part worker of TScreenRecorderPlaybackStream and its completion on the main thread.
#include "recording/ScreenRecorderPlaybackStream.h"

#include "platform/TempFiles.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <algorithm>

namespace vsr {

namespace {

constexpr std::int64_t HeaderBytes = sizeof(TVSRHeader);

// The download loops and the temporary file trust these offsets: they must lie in the file.
void CheckLayout(const TVSRHeader& header, std::int64_t fileSize) {
    const bool fits = fileSize >= HeaderBytes && header.KeyFrameIndexOffset >= HeaderBytes &&
                      header.KeyFrameIndexOffset <= header.CursorTrackOffset &&
                      header.CursorTrackOffset < fileSize;
    if (!fits)
        throw EScreenRecorderPlaybackStream(std::string(sInvalidSRFile));
}

std::chrono::milliseconds Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                                 start);
}

} // namespace

void TScreenRecorderPlaybackStream::LastPartWork(TCustomBackExec& exec) {
    Trace("Download last part start");
    try {
        LastPartSteps(exec);
    } catch (const std::exception& error) {
        FLastPartError = error.what();
    }
    FLastPartEnded = true;
    Trace("Download last part end");
}

void TScreenRecorderPlaybackStream::LastPartSteps(TCustomBackExec& exec) {
    const TFileInformation information = FRequests.FileInformation(*FLastPartClient);
    if (FDestroying)
        return;
    FFileSize = information.FileSize;
    FChecksum = information.Checksum;
    TStreamBlockSize blockSize;
    const auto start = std::chrono::steady_clock::now();
    const TVSRHeader header = FRequests.FetchHeader(*FLastPartClient);
    blockSize.Adapt(HeaderBytes, Since(start));
    if (FDestroying)
        return;
    CheckLayout(header, FFileSize);
    PrepareTempFile(header);
    FKeyFrameListLoaded = false;
    FFirstPartNeeded = FFileSize.load();
    FProgressTotal = FFileSize.load();
    if (OnLastPartStarted)
        OnLastPartStarted(*this);
    RaiseSignal(FStartSignal);
    DownloadLastPart(exec, blockSize);
}

// The file gets its full length at once, so that blocks can land at their offsets in any order.
void TScreenRecorderPlaybackStream::PrepareTempFile(const TVSRHeader& header) {
    const std::string fileName = CreateTempFile("vsr");
    if (fileName.empty())
        throw EFOpenError(Format("Cannot create a temporary file in \"%s\"", TempFolder()));
    SetFileName(fileName);
    std::lock_guard lock(FDownloadLock);
    FWriteStream = std::make_unique<TFileStream>(fileName, TFileMode::Create);
    AttachStream(std::make_unique<TFileStream>(fileName, TFileMode::OpenRead));
    FWriteStream->SetSize(FFileSize);
    FWriteStream->SetPosition(0);
    WriteRecord(*FWriteStream, header);
    ReadHeader();
}

void TScreenRecorderPlaybackStream::DownloadLastPart(TCustomBackExec& exec,
                                                     TStreamBlockSize& blockSize) {
    const std::int64_t fileSize = FFileSize;
    std::int64_t position = Header().KeyFrameIndexOffset;
    while (position < fileSize && !exec.Terminated()) {
        const std::int64_t size = std::min(blockSize.Bytes(), fileSize - position);
        const TByteString bytes =
            FetchWithRetries(exec, *FLastPartClient, position, size, blockSize);
        if (FDestroying)
            break;
        if (bytes.empty())
            throw EScreenRecorderPlaybackStream(std::string(sVSRStreamNoData));
        StoreBlock(position, bytes);
        // A short answer leaves the rest to the next request instead of a hole in the file.
        const auto arrived = static_cast<std::int64_t>(bytes.size());
        position += arrived;
        if (!FKeyFrameListLoaded && position > Header().CursorTrackOffset)
            LoadKeyFrameListEarly();
        CountProgress(arrived);
        TraceFmt("Download count: %d, Progress: %d, Total: %d, Block Size: %d last part",
                 FProgressCount.load(), FProgress.load(), FProgressTotal.load(), arrived);
        if (!exec.Terminated() && OnLastPartProgress)
            OnLastPartProgress(*this);
    }
}

// The key-frame index has arrived: progress now counts only what playback needs to start, the
// last part and key-frame segment 0.
void TScreenRecorderPlaybackStream::LoadKeyFrameListEarly() {
    {
        std::lock_guard lock(FDownloadLock);
        LoadKeyFrames(Header().KeyFrameIndexOffset);
    }
    const std::int64_t firstPartBytes = Header().KeyFrameIndexOffset - HeaderBytes;
    const std::int64_t needed =
        std::clamp<std::int64_t>(SegmentEnd(0) - HeaderBytes, 0, firstPartBytes);
    FFirstPartNeeded = needed;
    const std::int64_t lastPartBytes = FFileSize - Header().KeyFrameIndexOffset;
    FProgressTotal = lastPartBytes + needed;
    TraceFmt("Total bytes to read: %d, %d first part, %d last part", FProgressTotal.load(), needed,
             lastPartBytes);
    FKeyFrameListLoaded = true;
}

void TScreenRecorderPlaybackStream::LastPartCompleted() {
    if (FDestroying)
        return;
    std::string error = std::exchange(FLastPartError, {});
    if (error.empty()) {
        try {
            std::lock_guard lock(FDownloadLock);
            if (!FKeyFrameListLoaded)
                LoadKeyFrames(Header().KeyFrameIndexOffset);
            LoadCursors(Header().CursorTrackOffset);
        } catch (const std::exception& loadError) {
            error = loadError.what(); // a damaged trailer ends the download like any failure
        }
    }
    if (!error.empty()) {
        if (OnLastPartError)
            OnLastPartError(*this, error);
        return;
    }
    FKeyFramesKnown = true;
    AdvanceCompleteKeyFrames(FFirstPartArrived);
    if (OnLastPartFinished)
        OnLastPartFinished(*this);
}

} // namespace vsr
