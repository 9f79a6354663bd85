#include "cli/RecordingSummary.h"

#include "recording/ScreenRecorderPlaybackFile.h"

namespace vsr::cli {

TRecordingSummary SummariseRecording(const std::string& fileName) {
    TScreenRecorderPlaybackFile reader(fileName);
    TRecordingSummary summary;
    summary.FileName = fileName;
    summary.Header = reader.Header();
    for (std::size_t i = 0; i < reader.KeyFrames().Count(); ++i)
        summary.KeyFrames.push_back(reader.KeyFrames()[i]);
    summary.CursorCount = static_cast<std::int64_t>(reader.Cursors().Count());
    if (!reader.Cursors().Empty())
        summary.FirstCursor = reader.Cursors()[0];

    TStream& stream = reader.GetStream();
    summary.Size = stream.Size();
    summary.SoundTrack = LocateSoundTrack(stream, summary.Header.AudioOffset);
    if (summary.SoundTrack.Trailer) {
        const std::int64_t offset = summary.SoundTrack.Trailer->OverlayOffset;
        summary.Overlay = TOverlaySummary{offset, ReadOverlayBlock(stream, offset)};
    }
    return summary;
}

} // namespace vsr::cli
