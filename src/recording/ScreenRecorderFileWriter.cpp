#include "recording/ScreenRecorderFileWriter.h"

#include "recording/OverlayLayout.h"

#include <algorithm>
#include <limits>

namespace vsr {

namespace {

constexpr double MsPerDay = 86400000.0;
constexpr std::uint32_t DefaultTailMs = 1000;

bool TileChanged(const TScreenPicture& picture, const TScreenPicture& previous,
                 const TTileRect& tile) {
    for (std::int32_t row = tile.Y; row < tile.Y + tile.Height; ++row) {
        const auto first = picture.Pixels.begin() + (std::int64_t{row} * picture.Width + tile.X);
        const auto other = previous.Pixels.begin() + (std::int64_t{row} * previous.Width + tile.X);
        if (!std::equal(first, first + tile.Width, other))
            return true;
    }
    return false;
}

} // namespace

TScreenRecorderFileWriter::TScreenRecorderFileWriter(TStream& output, std::int32_t width,
                                                     std::int32_t height,
                                                     const TRecordingOptions& options)
    : FOutput(output), FBase(output.Position()), FWidth(width), FHeight(height), FOptions(options) {
    if (width < 1 || height < 1 || options.TileWidth < 1 || options.TileHeight < 1)
        throw Exception("A recording needs a screen area and tiles of at least 1 x 1 pixels");
    WriteRecord(FOutput, TVSRHeader{}); // the real header follows in Finish
}

TScreenRecorderFileWriter::~TScreenRecorderFileWriter() = default;

void TScreenRecorderFileWriter::AddPicture(std::uint32_t time, const TScreenPicture& picture,
                                           TKeyFrameChoice choice) {
    if (picture.Width != FWidth || picture.Height != FHeight ||
        picture.Pixels.size() != static_cast<std::size_t>(FWidth) * FHeight)
        throw Exception("The picture's size differs from the recording's");
    if (time < FLastTime)
        throw Exception("Picture times must not decrease");
    const bool keyFrame = choice == TKeyFrameChoice::Always || KeyFrameDue(time);
    if (keyFrame)
        BeginKeyFrame(time);
    WriteTiles(time, picture, keyFrame ? nullptr : &FPrevious);
    FPrevious = picture;
}

bool TScreenRecorderFileWriter::KeyFrameDue(std::uint32_t time) const {
    if (FKeyFrames.empty() || FPrevious.Pixels.empty())
        return true; // also after record-level writing: the next picture must be whole
    const std::uint32_t keyFrameTime = FKeyFrames.back().Time;
    return time >= keyFrameTime && time - keyFrameTime >= FOptions.KeyFrameInterval;
}

void TScreenRecorderFileWriter::AddCursor(const TCursorEntry& entry) {
    FCursors.push_back(entry);
}

void TScreenRecorderFileWriter::WriteTiles(std::uint32_t time, const TScreenPicture& picture,
                                           const TScreenPicture* previous) {
    for (std::int32_t y = 0; y < FHeight; y += FOptions.TileHeight) {
        for (std::int32_t x = 0; x < FWidth; x += FOptions.TileWidth) {
            const TTileRect tile{x, y, std::min(FOptions.TileWidth, FWidth - x),
                                 std::min(FOptions.TileHeight, FHeight - y)};
            if (!previous || TileChanged(picture, *previous, tile))
                AddTile(time, picture, tile);
        }
    }
}

void TScreenRecorderFileWriter::AddTile(std::uint32_t time, const TScreenPicture& picture,
                                        const TTileRect& tile) {
    const std::vector<std::byte> payload = EncodeTileDib(picture, tile, FOptions.BitDepth);
    AddRecord({time, tile.X, tile.Y, static_cast<std::int32_t>(payload.size())}, payload);
}

void TScreenRecorderFileWriter::BeginKeyFrame(std::uint32_t time) {
    FinishSegment();
    FPrevious = {};
    FKeyFrames.push_back({RelativePosition(), 0, DateTimeAt(time), time, 0});
    FSegment = std::make_unique<TZCompressionStream>(FOutput);
}

void TScreenRecorderFileWriter::AddRecord(const TFrameRecord& head,
                                          std::span<const std::byte> payload) {
    if (!FSegment)
        throw Exception("A key frame must begin before the first record");
    WriteRecord(*FSegment, head);
    FSegment->WriteBuffer(payload);
    FKeyFrames.back().Size += static_cast<std::int64_t>(sizeof(head) + payload.size());
    FLastTime = std::max(FLastTime, head.Time);
}

void TScreenRecorderFileWriter::FinishSegment() {
    if (!FSegment)
        return;
    FSegment->Finish();
    FSegment.reset();
}

std::int64_t TScreenRecorderFileWriter::RelativePosition() {
    return FOutput.Position() - FBase;
}

TRecordingLayout
TScreenRecorderFileWriter::Finish(std::span<const std::byte> soundTrack,
                                  const std::optional<TRecordingOverlay>& overlay) {
    if (FFinished)
        throw Exception("The recording is already finished");
    FFinished = true;
    FinishSegment();
    TRecordingLayout layout;
    layout.KeyFrames = IndexEntries();
    layout.KeyFrameIndexOffset = WriteTrack(layout.KeyFrames);
    layout.CursorTrackOffset = WriteTrack(FCursors);
    layout.AudioOffset = RelativePosition();
    FOutput.WriteBuffer(soundTrack);
    if (overlay)
        WriteOverlay(*overlay, layout);
    layout.Size = RelativePosition();
    layout.Header = MakeHeader(layout);
    FOutput.SetPosition(FBase);
    WriteRecord(FOutput, layout.Header);
    FOutput.SetPosition(FBase + layout.Size);
    return layout;
}

std::vector<TKeyFrameEntry> TScreenRecorderFileWriter::IndexEntries() const {
    std::vector<TKeyFrameEntry> entries = FKeyFrames;
    if (!entries.empty())
        entries.front().Time =
            FOptions.FirstEntryTime == TFirstEntryTime::Zero ? 0 : FOptions.StartTickCount;
    return entries;
}

// A zlib stream holding a 32-bit count and the entries.
template <typename TEntry>
std::int64_t TScreenRecorderFileWriter::WriteTrack(const std::vector<TEntry>& entries) {
    if (entries.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw Exception("Too many entries for one track");
    const std::int64_t offset = RelativePosition();
    TZCompressionStream track(FOutput);
    WriteRecord(track, static_cast<std::int32_t>(entries.size()));
    track.WriteBuffer(std::as_bytes(std::span(entries)));
    track.Finish();
    return offset;
}

void TScreenRecorderFileWriter::WriteOverlay(const TRecordingOverlay& overlay,
                                             TRecordingLayout& layout) {
    std::vector<TOverlayPiece> pictures;
    layout.OverlayOffset = RelativePosition();
    layout.OverlayHeader = OverlayHeaderFor(overlay, pictures);
    WriteRecord(FOutput, layout.OverlayHeader);
    for (const TOverlayPiece& picture : pictures)
        FOutput.WriteBuffer(picture.Bytes);
    if (!overlay.Link.empty()) {
        WriteRecord(FOutput, static_cast<std::uint16_t>(overlay.Link.size()));
        FOutput.WriteBuffer(std::as_bytes(std::span(overlay.Link)));
    }
    layout.OverlayTrailerOffset = RelativePosition();
    const TOverlayTrailer trailer{MagicField<16>(OverlayTrailerMagic), layout.OverlayOffset,
                                  layout.OverlayTrailerOffset};
    WriteRecord(FOutput, trailer);
}

TVSRHeader TScreenRecorderFileWriter::MakeHeader(const TRecordingLayout& layout) const {
    const std::uint32_t duration = FOptions.Duration.value_or(FLastTime + DefaultTailMs);
    TVSRHeader header{};
    header.Magic = MagicField<8>(VSRHeaderMagic);
    header.StartDateTime = FOptions.StartDateTime;
    header.StopDateTime = FOptions.StopDateTime.value_or(DateTimeAt(duration));
    header.StartTickCount = FOptions.StartTickCount;
    header.StopTickCount = FOptions.StartTickCount + duration;
    header.AudioOffset = layout.AudioOffset;
    header.Width = FWidth;
    header.Height = FHeight;
    header.KeyFrameIndexOffset = layout.KeyFrameIndexOffset;
    header.CursorTrackOffset = layout.CursorTrackOffset;
    return header;
}

double TScreenRecorderFileWriter::DateTimeAt(std::uint32_t time) const {
    return FOptions.StartDateTime + time / MsPerDay;
}

TRecordingLayout WriteRecordingFile(const std::string& fileName, const TRecordingContent& content,
                                    const TRecordingOptions& options) {
    TFileStream file(fileName, TFileMode::Create);
    TScreenRecorderFileWriter writer(file, content.Width, content.Height, options);
    for (const TTimedPicture& picture : content.Pictures)
        writer.AddPicture(picture.Time, picture.Picture);
    for (const TCursorEntry& cursor : content.Cursors)
        writer.AddCursor(cursor);
    return writer.Finish(content.SoundTrack, content.Overlay);
}

} // namespace vsr
