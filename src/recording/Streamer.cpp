#include "recording/Streamer.h"

#include "recording/OverlayBlock.h"

namespace vsr {

std::string TStreamer::ReadString() {
    return ReadOverlayLink(FStream);
}

} // namespace vsr
