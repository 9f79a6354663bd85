// The last-part worker of TScreenRecorderPlaybackStream and its completion on the main thread.
#include "recording/ScreenRecorderPlaybackStream.h"

#include "platform/TempFiles.h"
#include "recording/SoundTrackRange.h"
#include "shell/Messages.h"
#include "shell/Trace.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vsr {

namespace {

constexpr std::int64_t HeaderBytes = sizeof(TVSRHeader);
// The voice's SPX layout: a 22-byte header, the table's count, its offset in the last 8 bytes.
constexpr std::int64_t SpxHeaderBytes = 22;
constexpr std::int64_t SpxTableOffsetBytes = 8;
constexpr std::int64_t SpxTableBytes = 4 + SpxTableOffsetBytes;
constexpr auto VoiceWaitStep = std::chrono::milliseconds(20);

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
    const TFileInformation information = RequestInformation();
    if (FDestroying)
        return;
    FFileSize = information.FileSize;
    FChecksum = information.Checksum;
    TStreamBlockSize blockSize;
    const auto start = std::chrono::steady_clock::now();
    const TVSRHeader header = FProtocol->FetchHeader(*FLastPartClient);
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

// A file over HTTP is asked for by ranges first; a server that does not serve them is asked
// through its script. When neither answers, a missing file is reported as missing.
TFileInformation TScreenRecorderPlaybackStream::RequestInformation() {
    if (!FRange)
        return FScript.FileInformation(*FLastPartClient);
    if (const std::optional<TFileInformation> information = FRange->Probe(*FLastPartClient)) {
        FByRanges = true;
        return *information;
    }
    Trace("No range requests: asking the server script");
    FProtocol = &FScript;
    try {
        return FScript.FileInformation(*FLastPartClient);
    } catch (const EScreenRecorderPlaybackStream&) {
        if (FRange->ProbeStatus() == 404)
            throw EScreenRecorderPlaybackStream(std::string(sVSRStreamNotFound));
        throw;
    }
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
    const TVSRHeader& header = Header();
    FFetched.clear();
    // A voice out of the writer's order is simply fetched with the rest.
    if (header.AudioOffset >= header.CursorTrackOffset && header.AudioOffset <= FFileSize) {
        FetchRange(exec, header.KeyFrameIndexOffset, header.AudioOffset, blockSize);
        if (!exec.Terminated() && !FDestroying && FetchHead(exec, blockSize)) {
            RaiseSignal(FHeadArrived);
            if (OnLastPartHeadArrived)
                OnLastPartHeadArrived(*this);
            FetchVoiceFrames(exec, blockSize);
        }
    }
    FetchRange(exec, header.KeyFrameIndexOffset, FFileSize, blockSize);
}

void TScreenRecorderPlaybackStream::FetchRange(TCustomBackExec& exec, std::int64_t from,
                                               std::int64_t to, TStreamBlockSize& blockSize) {
    std::int64_t position = from;
    while (position < to && !exec.Terminated() && !FDestroying) {
        std::int64_t end = to;
        for (const auto& [fetchedFrom, fetchedTo] : FFetched) {
            if (fetchedFrom <= position && position < fetchedTo)
                position = fetchedTo; // FFetched is in order: a later range comes later
            else if (position < fetchedFrom)
                end = std::min(end, fetchedFrom);
        }
        if (position >= to)
            break;
        FetchBlock(exec, position, std::min(end - position, blockSize.Bytes()), blockSize);
    }
}

// A short answer leaves the rest to the next request instead of a hole in the file.
void TScreenRecorderPlaybackStream::FetchBlock(TCustomBackExec& exec, std::int64_t position,
                                               std::int64_t size, TStreamBlockSize& blockSize) {
    const TByteString bytes = FetchWithRetries(exec, *FLastPartClient, position, size, blockSize);
    if (FDestroying)
        return;
    if (bytes.empty())
        throw EScreenRecorderPlaybackStream(std::string(sVSRStreamNoData));
    StoreBlock(position, bytes);
    const auto arrived = static_cast<std::int64_t>(bytes.size());
    AddFetched(position, position + arrived);
    const TVSRHeader& header = Header();
    if (!FKeyFrameListLoaded && Fetched(header.KeyFrameIndexOffset, header.CursorTrackOffset))
        LoadKeyFrameListEarly();
    // Playback reads the track once the head has arrived, before the last part completes.
    if (!FCursorsLoaded && header.AudioOffset >= header.CursorTrackOffset &&
        Fetched(header.CursorTrackOffset, header.AudioOffset)) {
        std::lock_guard lock(FDownloadLock);
        LoadCursors(header.CursorTrackOffset);
        FCursorsLoaded = true;
    }
    const bool voiceFrame = FHeadArrived && position >= FVoiceOffset && position < FVoiceFramesEnd;
    if (voiceFrame)
        FVoiceArrived = FetchedUpTo(FVoiceArrived);
    // Voice beyond what the start needs is not waited for, so it does not count.
    const std::int64_t startVoiceEnd = FStartVoiceEnd;
    const std::int64_t counted =
        !voiceFrame || !FVoiceMapExpected
            ? arrived
            : std::clamp<std::int64_t>(startVoiceEnd - position, 0, arrived);
    CountProgress(counted);
    TraceFmt("Download count: %d, Progress: %d, Total: %d, Block Size: %d last part",
             FProgressCount.load(), FProgress.load(), FProgressTotal.load(), arrived);
    if (!exec.Terminated() && OnLastPartProgress)
        OnLastPartProgress(*this);
}

// Kept in order, neighbours joined.
void TScreenRecorderPlaybackStream::AddFetched(std::int64_t from, std::int64_t to) {
    auto next = FFetched.insert(
        std::ranges::find_if(FFetched, [from](const auto& range) { return range.first > from; }),
        {from, to});
    if (next != FFetched.begin() && std::prev(next)->second >= from) {
        std::prev(next)->second = std::max(std::prev(next)->second, to);
        next = std::prev(FFetched.erase(next));
    }
    while (std::next(next) != FFetched.end() && std::next(next)->first <= next->second) {
        next->second = std::max(next->second, std::next(next)->second);
        FFetched.erase(std::next(next));
    }
}

// The end of the bytes fetched without a gap from position on.
std::int64_t TScreenRecorderPlaybackStream::FetchedUpTo(std::int64_t position) const {
    for (const auto& [fetchedFrom, fetchedTo] : FFetched)
        if (fetchedFrom <= position && position < fetchedTo)
            position = fetchedTo;
    return position;
}

bool TScreenRecorderPlaybackStream::Fetched(std::int64_t from, std::int64_t to) const {
    return FetchedUpTo(from) >= to;
}

// The overlay trailer, the overlay, and the voice's header, trailing table offset and silence
// table. False when the voice's layout gives no table to go by: the rest then comes in order.
bool TScreenRecorderPlaybackStream::FetchHead(TCustomBackExec& exec, TStreamBlockSize& blockSize) {
    const std::int64_t fileSize = FFileSize;
    const std::int64_t audio = Header().AudioOffset;
    const std::int64_t trailerAt = fileSize - static_cast<std::int64_t>(sizeof(TOverlayTrailer));
    if (trailerAt > audio)
        FetchRange(exec, trailerAt, fileSize, blockSize);
    TFileStream view(FileName(), TFileMode::OpenRead); // the base reader's position is its own
    const TSoundTrackRange range = LocateSoundTrack(view, audio);
    if (!range.Damage.empty())
        return false;
    if (range.Trailer)
        FetchRange(exec, range.End, trailerAt, blockSize);
    const std::int64_t voiceBytes = range.Bytes();
    if (voiceBytes < SpxHeaderBytes + SpxTableBytes)
        return false;
    FetchRange(exec, audio, audio + SpxHeaderBytes, blockSize);
    FetchRange(exec, range.End - SpxTableOffsetBytes, range.End, blockSize);
    if (exec.Terminated() || FDestroying)
        return false;
    std::array<std::byte, SpxHeaderBytes> head{};
    view.SetPosition(audio);
    view.ReadBuffer(head);
    if (std::memcmp(head.data(), "SPX1.1", 6) != 0)
        return false;
    std::int64_t tableOffset = 0;
    view.SetPosition(range.End - SpxTableOffsetBytes);
    ReadRecord(view, tableOffset);
    if (tableOffset < SpxHeaderBytes || tableOffset > voiceBytes - SpxTableBytes)
        return false;
    FetchRange(exec, audio + tableOffset, range.End - SpxTableOffsetBytes, blockSize);
    FVoiceOffset = audio;
    FVoiceFramesEnd = audio + tableOffset;
    FVoiceArrived = audio + SpxHeaderBytes;
    if (FVoiceMapExpected) // the voice's frames are left out until the map says how many
        FProgressTotal -= tableOffset - SpxHeaderBytes;
    return !exec.Terminated() && !FDestroying;
}

void TScreenRecorderPlaybackStream::FetchVoiceFrames(TCustomBackExec& exec,
                                                     TStreamBlockSize& blockSize) {
    while (FVoiceArrived < FVoiceFramesEnd) {
        const std::int64_t limit = VoiceLimit(exec);
        if (limit <= FVoiceArrived || exec.Terminated() || FDestroying)
            break;
        FetchRange(exec, FVoiceArrived, limit, blockSize);
        FVoiceArrived = FetchedUpTo(FVoiceArrived); // also across bytes the head brought
    }
}

// Until playback may start only the start's voice, so that it does not share the line with
// segment 0 beyond what the start needs; then all of it at once: it is small beside the
// pictures, and seeking waits for the whole last part.
std::int64_t TScreenRecorderPlaybackStream::VoiceLimit(TCustomBackExec& exec) {
    std::unique_lock lock(FSignalLock);
    for (;;) {
        if (exec.Terminated() || FDestroying)
            return 0;
        if (FFirstPartDone || !FVoiceMapExpected)
            return FVoiceFramesEnd;
        const std::int64_t startEnd = FStartVoiceEnd;
        if (startEnd >= 0 && FVoiceArrived < startEnd)
            return startEnd;
        if (startEnd >= 0 && FLastCompleteKeyFrame >= 0)
            return FVoiceFramesEnd;
        FSignalChanged.wait_for(lock, VoiceWaitStep);
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
    // What the first part brought before: it counts only what arrives once the list is there.
    AdvanceCompleteKeyFrames(FFirstPartArrived);
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
            if (!FCursorsLoaded)
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
