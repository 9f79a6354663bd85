#pragma once
// Where the pictures and the link of an overlay block go, relative to the block's start.

#include "recording/ScreenRecorderFileWriter.h"

#include <cstddef>
#include <span>
#include <vector>

namespace vsr {

struct TOverlayPiece {
    std::int64_t Start = 0;
    std::span<const std::byte> Bytes;
};

// The overlay header for overlay, and the pictures in the order they are stored after it.
TOverlayHeader OverlayHeaderFor(const TRecordingOverlay& overlay,
                                std::vector<TOverlayPiece>& pictures);

} // namespace vsr
