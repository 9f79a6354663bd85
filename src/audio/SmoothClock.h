#pragma once
// TSmoothClock: how much of the buffer now playing has been heard, from the time since it
// started. The voice's clock otherwise moves in whole buffers (200 ms), which would show
// pictures that lie between two buffers' ends together; with this part the clock moves
// smoothly while the voice stays its only source: every buffer's end sets it right again.
//
// Until the first buffer after a start has ended the part is 0: the device's start-up time is
// unknown. The part is at most one buffer less one sample, so the clock never passes the next buffer's
// end; it stands still while the output is paused or has run dry, and carries on from there.
// Thread-safe: the playback loop and the window both read the clock.

#include <chrono>
#include <cstdint>
#include <mutex>

namespace vsr {

class TSmoothClock {
public:
    using TTime = std::chrono::steady_clock::time_point;

    TSmoothClock(std::int32_t bytesPerMs, std::int32_t sampleBytes)
        : FBytesPerMs(bytesPerMs), FSampleBytes(sampleBytes) {}

    // doneBuffers counts the buffers played to their end (it changes when one ends);
    // bufferBytes is the size of one; running is false while paused or with nothing queued.
    std::int64_t HeardOfCurrentBuffer(std::int64_t doneBuffers, std::int32_t bufferBytes,
                                      bool running, TTime now);
    // Forgets the buffer playing (a new start or seek): the next reading starts from zero.
    void Reset();

private:
    std::int32_t FBytesPerMs;
    std::int32_t FSampleBytes;
    std::mutex FLock;
    std::int64_t FDoneBuffers = -1;
    TTime FStarted{}; // when the buffer now playing started, less the time it stood still
    TTime FStopped{}; // when it stopped, while it stands still
    bool FRunning = false;
    bool FAnchored = false; // a buffer's end has been seen since the start
};

} // namespace vsr
