#pragma once

#include <span>

namespace vsr::sndkit {

// libspeex prints a notification on standard error for a narrowband frame whose header is
// damaged (an invalid mode, more than two wideband layers). This walks the same header path
// the decoder walks — wideband layers skipped, in-band requests passed over — and says whether
// the decoder would complain, so such a frame can be played as silence without calling it.
bool IsDamagedNarrowbandFrame(std::span<const unsigned char> payload);

} // namespace vsr::sndkit
