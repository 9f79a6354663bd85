#pragma once
// TWaveDevice: a sound output device that plays whole buffers of PCM in the order written and
// reports each one back through a message posted to its owner's message target.
//
// The caller owns the buffer memory. A written buffer is read by the device until it has been
// reported done, so the caller must keep it alive and unchanged until then (or until Reset or
// Close returns).
//
// Notifications, posted to the owner target given to Open (WParam 0):
// - cWomOpen once the device is open; cWomClose when it closes;
// - cWomDone with LParam = the buffer index, when the device has consumed the buffer (not when
//   it was queued). Reset reports every queued buffer done at once.
//
// Threading rules:
// - Open, Write, Reset and Close come from one controlling thread, one call at a time
//   (normally the owner target's thread).
// - Pause and Restart may be called from any thread, also while the controlling thread is in
//   another call; on a closed device they do nothing.
// - Notifications are posted from the device's own thread. None is posted after Close (or the
//   destructor) has returned, so the owner may destroy its target right after Close.

#include "platform/MessageQueue.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace vsr {

constexpr std::uint32_t cWomOpen = 0x3BB;
constexpr std::uint32_t cWomClose = 0x3BC;
constexpr std::uint32_t cWomDone = 0x3BD;

// The device identifier that selects the default output.
constexpr std::uint32_t cWaveMapper = 0xFFFFFFFF;
// Buffer indexes run from 0 to cMaxWaveBuffers - 1.
constexpr int cMaxWaveBuffers = 16;

constexpr std::uint16_t cWaveFormatPcm = 1;

// The PCM format handed to the device; 8-bit samples are unsigned, 16-bit ones signed
// little-endian, channels interleaved.
struct TWaveFormat {
    std::uint16_t FormatTag = cWaveFormatPcm;
    std::uint16_t Channels = 1;
    std::uint32_t SamplesPerSec = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::uint16_t ExtraSize = 0;
};

// The outcome of a device call: an empty ErrorText is success.
struct TWaveResult {
    std::string ErrorText;

    bool Ok() const { return ErrorText.empty(); }
    static TWaveResult Success() { return {}; }
    static TWaveResult Failure(std::string text) { return {std::move(text)}; }
};

class TWaveDevice {
public:
    TWaveDevice() = default;
    virtual ~TWaveDevice() = default;
    TWaveDevice(const TWaveDevice&) = delete;
    TWaveDevice& operator=(const TWaveDevice&) = delete;

    // Opens the device, playing (not paused), with nothing queued. owner must outlive the open
    // device. Fails on an open device.
    virtual TWaveResult Open(std::uint32_t deviceId, const TWaveFormat& format,
                             TMessageTarget& owner) = 0;
    // Queues data as buffer index behind the buffers already queued.
    virtual TWaveResult Write(int index, std::span<const std::byte> data) = 0;
    // Halts playback where it is; queued buffers stay queued.
    virtual void Pause() = 0;
    // Resumes after Pause.
    virtual void Restart() = 0;
    // Drops every queued buffer, reporting each done; the device stays open and its pause
    // state is kept.
    virtual void Reset() = 0;
    // Closes the device; queued buffers are dropped without notification. Does nothing when
    // the device is closed.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
};

// The empty text when format can be played by every backend, else the reason.
std::string CheckWaveFormat(const TWaveFormat& format);

// The output device of the program: the system's sound output, or, when none can be opened,
// a silent device that plays in real time so that playback still advances.
std::unique_ptr<TWaveDevice> CreateWaveDevice();

} // namespace vsr
