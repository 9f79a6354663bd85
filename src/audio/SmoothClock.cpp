#include "audio/SmoothClock.h"

#include <algorithm>

namespace vsr {

std::int64_t TSmoothClock::HeardOfCurrentBuffer(std::int64_t doneBuffers, std::int32_t bufferBytes,
                                                bool running, TTime now) {
    const std::lock_guard lock(FLock);
    if (doneBuffers != FDoneBuffers) {
        // The first buffer after a start waits for the device to open: only a buffer's end
        // tells when the next one began.
        FAnchored = FDoneBuffers >= 0;
        FDoneBuffers = doneBuffers;
        FStarted = now;
        FStopped = now;
        FRunning = running;
    }
    if (!FAnchored)
        return 0;
    if (running != FRunning) {
        if (running)
            FStarted += now - FStopped; // the time it stood still does not count
        else
            FStopped = now;
        FRunning = running;
    }
    const TTime until = FRunning ? now : FStopped;
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - FStarted).count();
    const std::int64_t limit = std::max<std::int64_t>(bufferBytes - FSampleBytes, 0);
    const std::int64_t heard = std::clamp<std::int64_t>(elapsedMs * FBytesPerMs, 0, limit);
    return heard - heard % FSampleBytes;
}

void TSmoothClock::Reset() {
    const std::lock_guard lock(FLock);
    FDoneBuffers = -1;
}

} // namespace vsr
