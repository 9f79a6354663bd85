#pragma once
// What `vsr info` reports of a recording, gathered through the reader classes.

#include "audio/SoundIntervals.h"
#include "audio/SpxSilence.h"
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

// The voice track as the player's sound stream sees it; Error is set when it cannot be opened.
struct TAudioSummary {
    std::string Error;
    bool Magic = false;
    std::int32_t Channels = 0;
    std::int32_t Rate = 0;
    std::int32_t Quality = 0;
    std::int32_t Complexity = 0;
    std::int64_t CompBlock = 0;
    std::int64_t PcmBlock = 0;
    std::int64_t TotalSilence = 0;
    std::int64_t Size = 0;
    std::int64_t Duration = 0;
    std::vector<TSpxSilence> Silences;
    std::vector<TSoundInterval> Intervals;
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
    TAudioSummary Audio;

    std::uint32_t DurationMs() const { return Header.StopTickCount - Header.StartTickCount; }
};

// Raises the reader's errors (missing file, invalid or damaged recording).
TRecordingSummary SummariseRecording(const std::string& fileName);

} // namespace vsr::cli
