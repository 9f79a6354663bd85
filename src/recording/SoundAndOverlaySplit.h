#pragma once
// Splitting an opened recording: the sound track goes to a new temporary file for the sound
// reader, the overlay block (when the recording ends with an overlay trailer) into a
// TScreenRecorderOverlayFile.

#include "platform/Stream.h"
#include "platform/TempFiles.h"
#include "recording/ScreenRecorderOverlayFile.h"
#include "recording/SoundTrackRange.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vsr {

struct TSoundAndOverlay {
    std::unique_ptr<TScreenRecorderOverlayFile> Overlay; // nullptr: the recording has none
    std::string SoundFileName; // a temporary file (prefix "spx") that the caller deletes
};

// stream: the recording, position 0 at its first byte; audioOffset: the header's AudioOffset.
// Raises EScreenRecorderOverlayFile or EPicture for a damaged overlay block, vsr::Exception
// with sInvalidSRFile and the damaged part when the trailer or audioOffset points outside the
// recording, EFOpenError when no temporary file can be created, EStreamError when reading
// fails. Leaves no temporary file behind when it raises.
// The overlay block of a located sound track, nullptr when the recording has none. Raises as
// SplitSoundAndOverlay does for a damaged block.
std::unique_ptr<TScreenRecorderOverlayFile> LoadOverlay(TStream& stream,
                                                        const TSoundTrackRange& range);

TSoundAndOverlay SplitSoundAndOverlay(TStream& stream, std::int64_t audioOffset,
                                      const std::string& tempFolder = TempFolder());

} // namespace vsr
