#pragma once
// Where the sound track of a recording ends: at the overlay block when the recording ends with
// an overlay trailer, otherwise at the end of the recording's data.

#include "platform/Stream.h"
#include "recording/VSRRecords.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vsr {

// The last 32 bytes of the stream when they are an overlay trailer. A stream of 32 bytes or
// less has none. Leaves the stream's position after the bytes read.
std::optional<TOverlayTrailer> ReadOverlayTrailer(TStream& stream);

struct TSoundTrackRange {
    std::int64_t Offset = 0; // AudioOffset
    std::int64_t End = 0;    // OverlayOffset with a trailer, else the stream's size
    std::optional<TOverlayTrailer> Trailer;
    // Empty when the range lies inside the recording; else which part of it is damaged.
    std::string Damage;

    std::int64_t Bytes() const { return Damage.empty() ? End - Offset : 0; }
    // Raises vsr::Exception with sInvalidSRFile and the damage when there is one.
    void Check() const;
};

TSoundTrackRange LocateSoundTrack(TStream& stream, std::int64_t audioOffset);

} // namespace vsr
