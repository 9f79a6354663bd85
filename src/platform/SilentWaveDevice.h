#pragma once
// TSilentWaveDevice: a wave device without sound. It consumes the written buffers at the
// real-time rate of the format (block alignment x sample rate bytes per second) on a timer
// thread of its own, so that everything driven by the output's progress advances as if the
// sound were heard. Device identifiers are ignored. Threading rules: those of WaveDevice.h.

#include "platform/WaveDevice.h"
#include "platform/WaveQueue.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <thread>

namespace vsr {

class TSilentWaveDevice : public TWaveDevice {
public:
    TSilentWaveDevice() = default;
    ~TSilentWaveDevice() override;

    TWaveResult Open(std::uint32_t deviceId, const TWaveFormat& format,
                     TMessageTarget& owner) override;
    TWaveResult Write(int index, std::span<const std::byte> data) override;
    void Pause() override;
    void Restart() override;
    void Reset() override;
    void Close() override;
    bool IsOpen() const override;

private:
    using TClock = std::chrono::steady_clock;

    void Run();
    // Plays the front buffer from start until end; false when interrupted first.
    bool PlayFront(std::unique_lock<std::mutex>& lock, TClock::time_point start,
                   TClock::time_point end);
    TClock::duration DurationOf(std::size_t bytes) const;
    std::size_t BytesIn(TClock::duration duration) const;

    mutable std::mutex FLock;
    std::condition_variable FWake;
    TWaveQueue FQueue;
    TMessageTarget* FOwner = nullptr; // set while open
    std::uint32_t FBytesPerSec = 0;
    std::uint16_t FBlockAlign = 1;
    bool FPaused = false;
    bool FClosing = false;
    std::uint64_t FResets = 0; // counts Reset calls, so the thread notices a changed front
    std::thread FThread;
};

} // namespace vsr
