#pragma once
// TSdlWaveDevice: wave output through SDL2's audio device. The audio subsystem is started at
// Open and released at Close, so each Open honours the SDL_AUDIODRIVER of that moment.
// Device identifiers other than cWaveMapper are indexes into SDL's output device list.
// Error texts are SDL's own. Threading rules: those of WaveDevice.h; the device's thread
// is SDL's audio thread.

#include "platform/WaveDevice.h"
#include "platform/WaveQueue.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace vsr {

class TSdlWaveDevice : public TWaveDevice {
public:
    TSdlWaveDevice() = default;
    ~TSdlWaveDevice() override;

    TWaveResult Open(std::uint32_t deviceId, const TWaveFormat& format,
                     TMessageTarget& owner) override;
    TWaveResult Write(int index, std::span<const std::byte> data) override;
    void Pause() override;
    void Restart() override;
    void Reset() override;
    void Close() override;
    bool IsOpen() const override { return FOpen; }

private:
    static void AudioCallback(void* userData, std::uint8_t* stream, int length);
    void Consume(std::span<std::byte> output);
    void SetDevicePaused(bool paused);

    // Guards the device id against Pause/Restart from other threads while it opens or closes.
    std::mutex FDeviceLock;
    std::uint32_t FDeviceId = 0; // SDL's id; 0 when closed
    std::atomic<bool> FOpen = false;

    // Guards the queue and the owner; taken by SDL's audio thread.
    std::mutex FQueueLock;
    TWaveQueue FQueue;
    TMessageTarget* FOwner = nullptr;
    std::byte FSilence{0};
};

} // namespace vsr
