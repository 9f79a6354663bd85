#pragma once
// TAudioIO: the format, the buffers and the counters of a wave output component.
//
// Buffer memory is allocated at construction and when BufferSize or NumBuffers changes;
// playing allocates nothing. While the device of a derived component is open the format and
// the buffers are fixed: the setters then change nothing and return false with LastError
// set, so that no buffer the device still reads is released or resized.
//
// Threads: everything runs on the owner's (main) thread, except that BufferSize,
// QueuedBuffers and Active may be read from any thread (a value may be one buffer old).

#include "platform/WaveDevice.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace vsr {

inline constexpr std::string_view sWaveBufferAlloc = "Error allocating wave buffer memory";
inline constexpr std::string_view sWaveDeviceOpen = "Wave output device is already open";
inline constexpr std::string_view sWaveNoFilledBuffer = "There must be at least one filled buffer";

// One buffer as handed to the device: its memory and the length of the data in it.
struct TWaveHeader {
    std::span<std::byte> Data;
    std::int32_t BufferLength = 0;
};

class TAudioIO {
public:
    using TNotifyEvent = std::function<void(TAudioIO& sender)>;

    static constexpr std::int32_t cMinBufferSize = 512;
    static constexpr std::int32_t cMinBuffers = 2;
    static constexpr std::int32_t cMaxBuffers = cMaxWaveBuffers;

    TAudioIO();
    virtual ~TAudioIO() = default;
    TAudioIO(const TAudioIO&) = delete;
    TAudioIO& operator=(const TAudioIO&) = delete;

    // The effective size: the assigned size less its remainder modulo the block alignment.
    std::int32_t BufferSize() const { return FBufferSize.load(); }
    // Below 512 becomes 512; re-allocates the data buffers.
    bool SetBufferSize(std::int32_t value);
    std::int32_t NumBuffers() const { return FNumBuffers; }
    // Clamped to 2..16.
    bool SetNumBuffers(std::int32_t value);
    std::int32_t FrameRate() const { return FFrameRate; }
    bool SetFrameRate(std::int32_t value);
    bool Stereo() const { return FStereo; }
    bool SetStereo(bool value);
    // Bits per sample: below 8 becomes 8, above 8 becomes 16.
    std::uint16_t Quantization() const { return FQuantization; }
    bool SetQuantization(std::uint16_t value);
    // Handed to the device's open; cWaveMapper selects the default output.
    std::uint32_t WaveDevice() const { return FWaveDevice; }
    void SetWaveDevice(std::uint32_t value) { FWaveDevice = value; }
    std::uintptr_t PseudoOwnerFormHandle() const { return FPseudoOwnerFormHandle; }
    void SetPseudoOwnerFormHandle(std::uintptr_t value) { FPseudoOwnerFormHandle = value; }

    const TWaveFormat& WaveFormat() const { return FFormat; }
    bool Active() const { return FActive.load(); }
    std::int32_t FilledBuffers() const { return FFilledBuffers; }
    // May be read from any thread.
    std::int32_t ProcessedBuffers() const { return FProcessedBuffers.load(); }
    std::int32_t QueuedBuffers() const { return FQueuedBuffers.load(); }
    const std::string& LastError() const { return FLastError; }

    // Stops at once; no stop event.
    virtual void Stop();
    // Stops asking for data.
    virtual void StopGracefully();

    // Fired when the device reports itself opened, and closed.
    TNotifyEvent OnStart;
    TNotifyEvent OnStop;

protected:
    // False (with LastError set) while the format and the buffers must not change.
    virtual bool CanChangeFormat() { return true; }
    bool BuffersAllocated() const { return FAllocatedBuffers >= FNumBuffers; }
    TWaveHeader& Header(std::int32_t index) { return FHeaders[static_cast<std::size_t>(index)]; }
    std::span<std::byte> Buffer(std::int32_t index);
    void UpdateQueuedBuffers() { FQueuedBuffers = FFilledBuffers - FProcessedBuffers; }

    std::atomic<bool> FActive = false;
    bool FContinueProcessing = false;
    std::int32_t FFilledBuffers = 0;
    std::atomic<std::int32_t> FProcessedBuffers = 0;
    std::atomic<std::int32_t> FQueuedBuffers = 0;
    std::string FLastError;

private:
    void ComputeFormat();
    void AllocateBuffers();
    void ReleaseBuffers();

    std::int32_t FAssignedSize = 8192; // before rounding to the block alignment
    std::atomic<std::int32_t> FBufferSize = 8192;
    std::int32_t FNumBuffers = 4;
    std::int32_t FFrameRate = 22050;
    bool FStereo = false;
    std::uint16_t FQuantization = 16;
    std::uint32_t FWaveDevice = cWaveMapper;
    std::uintptr_t FPseudoOwnerFormHandle = 0;
    TWaveFormat FFormat;

    std::array<TWaveHeader, cMaxWaveBuffers> FHeaders{};
    // Each data buffer holds the assigned size, which no effective size exceeds, so a later
    // format change can never make a fill run past its end.
    std::array<std::unique_ptr<std::byte[]>, cMaxWaveBuffers> FData;
    std::int32_t FAllocatedBuffers = 0;
};

} // namespace vsr
