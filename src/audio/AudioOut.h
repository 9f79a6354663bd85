#pragma once
// TAudioOut: plays PCM through a wave device. It owns a ring of NumBuffers buffers, asks its
// owner for data one buffer at a time through OnFillBuffer, hands each filled buffer to the
// device, refills buffers as the device returns them, and fires OnStop once no more data came
// and every buffer has been played. No operation raises: failures return false and leave the
// reason in LastError.
//
// Threads: create, Start, Stop, StopGracefully, the setters and destroy on the owner thread
// (normally the main thread), which must process its messages: the device's notifications
// arrive there, so OnFillBuffer, OnStop and OnStart run on that thread, one at a time.
// Paused may be read and written from any thread. BufferSize, QueuedBuffers and Active may
// be read from any thread.

#include "audio/AudioIO.h"
#include "platform/WaveDevice.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace vsr {

// Fills buffer (whose size is the effective BufferSize, also in size on entry) with up to
// size bytes, sets size to the number written and returns true when it delivered data.
// Returning false with a size below 0 means "not there yet" (a voice still downloading): the
// output then waits, open, for Resume instead of ending once the queue has run dry.
using TBufferEvent = std::function<bool(std::span<std::byte> buffer, std::int32_t& size)>;

class TCallBackWinOut;

class TAudioOut : public TAudioIO {
public:
    // Plays through the program's output device (CreateWaveDevice).
    TAudioOut();
    explicit TAudioOut(std::unique_ptr<TWaveDevice> device);
    // Stops an open device first, without OnStop.
    ~TAudioOut() override;

    // Opens the device, primes the buffers and starts playing.
    bool Start();
    // Stops at once: no OnStop, and no OnFillBuffer afterwards.
    void Stop() override;
    // Stops asking for data; the queued buffers play out, then OnStop fires.
    void StopGracefully() override;
    // After a fill answered "not there yet": asks again and queues what it delivers.
    void Resume();
    bool Starved() const { return FStarved; }

    bool Paused() const { return FPaused.load(); }
    // Applied to the device at once while Active; otherwise applied at the next start.
    void SetPaused(bool value);
    bool DeviceOpen() const { return FDeviceOpen; }

    TBufferEvent OnFillBuffer;
    // Fired when playback has run out. Hides the device-closed event of TAudioIO.
    TNotifyEvent OnStop;

protected:
    virtual bool FillBuffer(std::int32_t index, std::int32_t size);
    virtual void CloseDevice();
    virtual bool OpenDevice();
    bool CanChangeFormat() override;

private:
    friend class TCallBackWinOut;

    bool StartOutput();
    bool QueueNext();
    void BufferDone();

    std::unique_ptr<TWaveDevice> FDevice;
    std::unique_ptr<TCallBackWinOut> FCallBack; // exists while the device is open
    bool FDeviceOpen = false;
    std::atomic<bool> FPaused = false;
    std::int32_t FNextBuffer = 0;
    // Buffers handed to the device since the last start; a write failure takes back the
    // filled buffers the device never got, so that the queue can still run dry.
    std::int32_t FWrittenBuffers = 0;
    bool FStarved = false;
};

} // namespace vsr
