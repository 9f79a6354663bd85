#include "audio/WaveFile.h"

#include <array>
#include <cstring>

namespace vsr {

namespace {

struct TWaveHeader {
    std::array<char, 4> Riff{'R', 'I', 'F', 'F'};
    std::uint32_t RiffSize = 0;
    std::array<char, 4> Wave{'W', 'A', 'V', 'E'};
    std::array<char, 4> Fmt{'f', 'm', 't', ' '};
    std::uint32_t FmtSize = 16;
    std::uint16_t FormatTag = 1; // PCM
    std::uint16_t Channels = 0;
    std::uint32_t SamplesPerSecond = 0;
    std::uint32_t BytesPerSecond = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::array<char, 4> Data{'d', 'a', 't', 'a'};
    std::uint32_t DataSize = 0;
};
static_assert(sizeof(TWaveHeader) == 44);

} // namespace

void WriteWaveHeader(TStream& output, const TWaveFormat& format, std::uint32_t dataBytes) {
    TWaveHeader header;
    header.RiffSize = 36 + dataBytes;
    header.Channels = format.Channels;
    header.SamplesPerSecond = format.SamplesPerSecond;
    header.BlockAlign = static_cast<std::uint16_t>(format.Channels * (format.BitsPerSample / 8));
    header.BytesPerSecond = header.BlockAlign * format.SamplesPerSecond;
    header.BitsPerSample = format.BitsPerSample;
    header.DataSize = dataBytes;
    output.WriteBuffer(std::as_bytes(std::span(&header, 1)));
}

} // namespace vsr
