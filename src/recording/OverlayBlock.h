#pragma once
// Reading the fixed part of an overlay block: its header and its link. The pictures are left
// to whoever shows them.

#include "platform/Stream.h"
#include "recording/VSRRecords.h"

#include <cstdint>
#include <string>

namespace vsr {

struct TOverlayBlockInfo {
    TOverlayHeader Header{};
    std::string Link; // empty when the block has none
    bool TrailerIsHeader() const { return Header.TrailerPictureStart == Header.HeaderPictureStart; }
};

// Reads the block that starts at base. Raises vsr::Exception with sInvalidSRFile when it does
// not begin with the overlay magic, and EStreamError when the link runs past the data.
TOverlayBlockInfo ReadOverlayBlock(TStream& stream, std::int64_t base);

// The link at the stream's position: a 16-bit length, then that many 8-bit characters.
std::string ReadOverlayLink(TStream& stream);

} // namespace vsr
