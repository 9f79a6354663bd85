#include "recording/CustomScreenRecorderPlaybackFile.h"

#include "shell/Messages.h"
#include "shell/Trace.h"

#include <algorithm>
#include <cassert>
#include <limits>

namespace vsr {

namespace {

// A payload is read in pieces that at most double what has arrived, so a damaged Size costs
// no more memory than the data really delivered.
constexpr std::int64_t FirstPayloadPieceBytes = 1 << 20;

[[noreturn]] void RaiseInvalidFile() {
    throw Exception(std::string(sInvalidSRFile));
}

// Reads size bytes into the memory that resize(n) provides; false when the source ran short.
template <typename TResize> bool ReadGrowing(TStream& source, std::int64_t size, TResize& resize) {
    if (size == 0)
        resize(0);
    std::int64_t done = 0;
    while (done < size) {
        const std::int64_t piece = std::min(size - done, std::max(done, FirstPayloadPieceBytes));
        std::span<std::byte> memory = resize(static_cast<std::size_t>(done + piece));
        const auto target =
            memory.subspan(static_cast<std::size_t>(done), static_cast<std::size_t>(piece));
        const auto count = static_cast<std::int64_t>(source.Read(target));
        done += count;
        if (count < piece)
            return false;
    }
    return true;
}

// Key-frame count / 20, rounded to nearest with halves to the even neighbour; at least 1.
std::int64_t KeyFrameStep(std::int64_t count) {
    std::int64_t step = count / 20;
    const std::int64_t rest = count % 20;
    if (rest > 10 || (rest == 10 && step % 2 == 1))
        ++step;
    return std::max<std::int64_t>(step, 1);
}

template <typename TList, typename TEntry>
void ReplaceItems(TList& list, const std::vector<TEntry>& entries) {
    list.BeginUpdate();
    list.FreeAll();
    for (const TEntry& entry : entries)
        list.Add(std::make_unique<TEntry>(entry));
    list.EndUpdate();
}

} // namespace

TStream& TCustomScreenRecorderPlaybackFile::GetStream() {
    // Reading the stream here would move the decompressor's source under its feet.
    assert(!FDecompressor && "GetStream while a key-frame segment is being read");
    if (FDecompressor)
        throw Exception("GetStream is not allowed while a key-frame segment is being read");
    if (!FStream)
        throw Exception("The recording has no stream yet");
    return *FStream;
}

bool TCustomScreenRecorderPlaybackFile::ReadFrameToBuffer(std::uint32_t& time, std::int32_t& x,
                                                          std::int32_t& y,
                                                          std::vector<std::byte>& buffer) {
    TFrameRecord head{};
    auto resize = [&buffer](std::size_t size) {
        buffer.resize(size);
        return std::span<std::byte>(buffer);
    };
    if (!ReadFrameRecord(head, resize))
        return false;
    time = head.Time;
    x = head.X;
    y = head.Y;
    return true;
}

bool TCustomScreenRecorderPlaybackFile::ReadFrame(std::uint32_t& time, std::int32_t& x,
                                                  std::int32_t& y, TMemoryStream& frame) {
    TFrameRecord head{};
    auto resize = [&frame](std::size_t size) {
        frame.SetSize(static_cast<std::int64_t>(size));
        return frame.Memory();
    };
    if (!ReadFrameRecord(head, resize))
        return false;
    time = head.Time;
    x = head.X;
    y = head.Y;
    frame.SetPosition(0);
    return true;
}

// The record head, then its payload into the memory resize provides (empty when cut short).
// A damaged head ends its segment as its end would: reading goes on in the next segment.
template <typename TResize>
bool TCustomScreenRecorderPlaybackFile::ReadFrameRecord(TFrameRecord& head, TResize resize) {
    while (ReadRecordHead(head)) {
        if (PayloadFitsSegment(head)) {
            if (!ReadGrowing(*FDecompressor, head.Size, resize))
                resize(0);
            return true;
        }
        CloseDecompressor(); // nothing after a damaged head can be trusted
    }
    return false;
}

bool TCustomScreenRecorderPlaybackFile::ReadRecordHead(TFrameRecord& head) {
    if (NeedsNextSegment())
        OpenNextSegment();
    if (!FDecompressor)
        return false;
    return ReadRecord(*FDecompressor, head);
}

bool TCustomScreenRecorderPlaybackFile::PayloadFitsSegment(const TFrameRecord& head) const {
    const std::int64_t segmentSize = FKeyFrames[static_cast<std::size_t>(FCurrentKeyFrame)].Size;
    const std::int64_t delivered = FDecompressor->TotalOut();
    return head.Size >= 0 && head.Size <= FMaxPayload && segmentSize >= delivered &&
           head.Size <= segmentSize - delivered;
}

void TCustomScreenRecorderPlaybackFile::OpenNextSegment() {
    TraceFmt("Next KeyFrame: %d -> %d", FCurrentKeyFrame, std::int64_t{FCurrentKeyFrame} + 1);
    CloseDecompressor();
    if (FCurrentKeyFrame < std::numeric_limits<std::int32_t>::max())
        ++FCurrentKeyFrame;
    if (!SegmentReadable(FCurrentKeyFrame))
        return; // the end of reading
    FStream->SetPosition(FKeyFrames[static_cast<std::size_t>(FCurrentKeyFrame)].Offset);
    FDecompressor = std::make_unique<TZDecompressionStream>(*FStream);
    if (OnKeyFrame)
        OnKeyFrame(*this);
}

// An entry past the index, without data, or pointing outside the file ends reading.
bool TCustomScreenRecorderPlaybackFile::SegmentReadable(std::int32_t index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= FKeyFrames.Count() || !FStream)
        return false;
    const TKeyFrameEntry& entry = FKeyFrames[static_cast<std::size_t>(index)];
    return entry.Size != 0 && entry.Offset >= 0 && entry.Offset < FStream->Size();
}

bool TCustomScreenRecorderPlaybackFile::NeedsNextSegment() const {
    if (FCurrentKeyFrame < 0 || !FDecompressor)
        return true;
    const TKeyFrameEntry& entry = FKeyFrames[static_cast<std::size_t>(FCurrentKeyFrame)];
    return FDecompressor->TotalOut() >= entry.Size;
}

std::uint32_t TCustomScreenRecorderPlaybackFile::SeekTime(std::uint32_t time) {
    for (std::size_t i = 0; i < FKeyFrames.Count(); ++i) {
        const std::uint32_t keyFrameTime = KeyFrameTime(i);
        if (keyFrameTime >= time) {
            FCurrentKeyFrame = static_cast<std::int32_t>(i) - 1;
            CloseDecompressor();
            return keyFrameTime;
        }
    }
    return FHeader.StopTickCount; // reading continues where it was
}

std::uint32_t TCustomScreenRecorderPlaybackFile::SeekKeyFrame(bool forward) {
    const auto count = static_cast<std::int64_t>(FKeyFrames.Count());
    const std::int64_t step = KeyFrameStep(count);
    std::int64_t current = FCurrentKeyFrame;
    if (forward)
        current = std::min(current + step - 1, count - 1);
    else
        current = std::max<std::int64_t>(current - step - 1, -1);
    FCurrentKeyFrame = static_cast<std::int32_t>(current);
    const std::uint32_t result = current < count - 1
                                     ? KeyFrameTime(static_cast<std::size_t>(current + 1))
                                     : FHeader.StopTickCount;
    CloseDecompressor();
    return result;
}

std::uint32_t TCustomScreenRecorderPlaybackFile::KeyFrameTime(std::size_t index) const {
    return index == 0 ? 0 : FKeyFrames[index].Time;
}

void TCustomScreenRecorderPlaybackFile::AttachStream(std::unique_ptr<TStream> stream) {
    CloseDecompressor();
    FStream = std::move(stream);
}

void TCustomScreenRecorderPlaybackFile::ReadHeader() {
    FStream->SetPosition(0);
    TVSRHeader header{};
    if (!ReadRecord(*FStream, header) || !HasVSRMagic(header) || !HasValidScreenSize(header))
        RaiseInvalidFile();
    FHeader = header;
    FMaxPayload = MaxTilePayloadBytes(TileLimitFor(header.Width, header.Height));
}

void TCustomScreenRecorderPlaybackFile::LoadKeyFrames(std::int64_t offset) {
    ReplaceItems(FKeyFrames, ReadTrack<TKeyFrameEntry>(offset));
}

void TCustomScreenRecorderPlaybackFile::LoadCursors(std::int64_t offset) {
    ReplaceItems(FCursors, ReadTrack<TCursorEntry>(offset));
}

// A track is a zlib stream of a 32-bit Count and Count entries. Entries are collected as they
// arrive, so a damaged Count allocates no more than the stream really holds.
template <typename TEntry>
std::vector<TEntry> TCustomScreenRecorderPlaybackFile::ReadTrack(std::int64_t offset) {
    if (!FStream || offset < 0 || offset >= FStream->Size())
        RaiseInvalidFile();
    FStream->SetPosition(offset);
    try {
        TZDecompressionStream track(*FStream);
        std::int32_t count = 0;
        if (!ReadRecord(track, count) || count < 0)
            RaiseInvalidFile();
        std::vector<TEntry> entries;
        TEntry entry{};
        while (static_cast<std::int32_t>(entries.size()) < count && ReadRecord(track, entry))
            entries.push_back(entry);
        if (static_cast<std::int32_t>(entries.size()) < count)
            RaiseInvalidFile();
        return entries;
    } catch (const EZDecompressionError&) {
        RaiseInvalidFile();
    }
}

} // namespace vsr
