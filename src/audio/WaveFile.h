#pragma once
// Writing PCM samples as a WAV file (RIFF, uncompressed PCM).

#include "platform/Stream.h"

#include <cstdint>

namespace vsr {

struct TWaveFormat {
    std::uint16_t Channels = 1;
    std::uint32_t SamplesPerSecond = 8000;
    std::uint16_t BitsPerSample = 16;
};

// The 44-byte header of a WAV file whose data part holds dataBytes bytes.
void WriteWaveHeader(TStream& output, const TWaveFormat& format, std::uint32_t dataBytes);

} // namespace vsr
