#include "audio/AudioIO.h"

#include <algorithm>
#include <new>

namespace vsr {

TAudioIO::TAudioIO() {
    ComputeFormat();
    AllocateBuffers();
}

bool TAudioIO::SetBufferSize(std::int32_t value) {
    if (!CanChangeFormat())
        return false;
    FAssignedSize = std::max(cMinBufferSize, value);
    ComputeFormat();
    AllocateBuffers();
    return BuffersAllocated();
}

bool TAudioIO::SetNumBuffers(std::int32_t value) {
    if (!CanChangeFormat())
        return false;
    FNumBuffers = std::clamp(value, cMinBuffers, cMaxBuffers);
    // Re-allocated at once, so that every buffer of the ring has its memory.
    if (FNumBuffers != FAllocatedBuffers)
        AllocateBuffers();
    return BuffersAllocated();
}

bool TAudioIO::SetFrameRate(std::int32_t value) {
    if (!CanChangeFormat())
        return false;
    FFrameRate = value;
    ComputeFormat();
    return true;
}

bool TAudioIO::SetStereo(bool value) {
    if (!CanChangeFormat())
        return false;
    FStereo = value;
    ComputeFormat();
    return true;
}

bool TAudioIO::SetQuantization(std::uint16_t value) {
    if (!CanChangeFormat())
        return false;
    FQuantization = value <= 8 ? 8 : 16;
    ComputeFormat();
    return true;
}

void TAudioIO::Stop() {
    FActive = false;
    FContinueProcessing = false;
}

void TAudioIO::StopGracefully() {
    FContinueProcessing = false;
}

std::span<std::byte> TAudioIO::Buffer(std::int32_t index) {
    const auto i = static_cast<std::size_t>(index);
    if (index < 0 || index >= FAllocatedBuffers || !FData[i])
        return {};
    return {FData[i].get(), static_cast<std::size_t>(BufferSize())};
}

void TAudioIO::ComputeFormat() {
    FFormat.FormatTag = cWaveFormatPcm;
    FFormat.Channels = FStereo ? 2 : 1;
    FFormat.SamplesPerSec = static_cast<std::uint32_t>(FFrameRate);
    FFormat.BlockAlign = static_cast<std::uint16_t>(FQuantization / 8 * FFormat.Channels);
    FFormat.AvgBytesPerSec = FFormat.BlockAlign * FFormat.SamplesPerSec;
    FFormat.BitsPerSample = FQuantization;
    FFormat.ExtraSize = 0;
    FBufferSize = FAssignedSize - FAssignedSize % FFormat.BlockAlign;
}

void TAudioIO::AllocateBuffers() {
    ReleaseBuffers();
    try {
        for (std::int32_t i = 0; i < FNumBuffers; ++i) {
            FData[static_cast<std::size_t>(i)] = std::make_unique_for_overwrite<std::byte[]>(
                static_cast<std::size_t>(FAssignedSize));
            FAllocatedBuffers = i + 1;
        }
    } catch (const std::bad_alloc&) {
        ReleaseBuffers();
        FLastError = sWaveBufferAlloc;
    }
}

void TAudioIO::ReleaseBuffers() {
    for (auto& data : FData)
        data.reset();
    for (auto& header : FHeaders)
        header = {};
    FAllocatedBuffers = 0;
}

} // namespace vsr
