#pragma once
// What `vsr info` reports of a recording, gathered through the reader classes.

#include "recording/OverlayBlock.h"
#include "recording/SoundTrackRange.h"
#include "recording/VSRRecords.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vsr::cli {

struct TOverlaySummary {
    std::int64_t Offset = 0;
    TOverlayBlockInfo Block;
};

struct TRecordingSummary {
    std::string FileName;
    std::int64_t Size = 0;
    TVSRHeader Header{};
    std::vector<TKeyFrameEntry> KeyFrames;
    std::int64_t CursorCount = 0;
    std::optional<TCursorEntry> FirstCursor;
    TSoundTrackRange SoundTrack;
    std::optional<TOverlaySummary> Overlay;

    std::uint32_t DurationMs() const { return Header.StopTickCount - Header.StartTickCount; }
};

// Raises the reader's errors (missing file, invalid or damaged recording).
TRecordingSummary SummariseRecording(const std::string& fileName);

} // namespace vsr::cli
