#pragma once
// Voice tracks made in the tests: PCM signals at 8000 Hz, SPX streams encoded by the project's
// writer or laid out by hand around its frame records, and what comes back out of them.

#include "audio/SpxSilence.h"
#include "audio/SpxStream.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

namespace vsr::test {

inline constexpr int SampleRate = 8000;
inline constexpr int FrameSamples = 160;
inline constexpr std::int64_t RecordBytes = 29; // one frame record at quality 6, complexity 10

// Appends a sine of hz whose phase continues from the samples already there.
void AppendTone(std::vector<std::int16_t>& pcm, double hz, int samples, double amplitude = 8000);
std::vector<std::int16_t> Tone(std::uint32_t lengthMs, double hz = 440);
std::vector<std::int16_t> Silence(std::uint32_t lengthMs);
std::vector<std::int16_t> Joined(std::initializer_list<std::vector<std::int16_t>> parts);

// An SPX stream of samples, quickly encoded (quality 4, complexity 1), silences left out.
std::vector<std::byte> VoiceTrack(const std::vector<std::int16_t>& samples);

// The frame records of a stream made by the writer (between the header and the table).
std::vector<std::byte> FrameDataOf(const std::vector<std::byte>& spx);
// Frame data of `frames` records coded from a tone, none left out (quality 6, complexity 10).
std::vector<std::byte> ToneRecords(int frames, double hz = 440);

struct TSpxHeaderValues {
    std::int32_t Channels = 1;
    std::int32_t Rate = 8000;
    std::int32_t Quality = 6;
    std::int32_t Complexity = 10;
};
// An SPX stream with magic around frameData, laid out as the format defines it.
std::vector<std::byte> BuildSpx(const std::vector<std::byte>& frameData,
                                const std::vector<TSpxSilence>& silences,
                                const TSpxHeaderValues& header = {});

// Reads in pieces of `piece` bytes until a Read returns 0.
std::vector<std::byte> ReadAll(TSpxStream& stream, std::size_t piece = 3200);
std::vector<std::int16_t> Samples(std::span<const std::byte> pcm);
bool AllZero(std::span<const std::byte> bytes);
// Decodes frame records (quality 6, complexity 10) with a fresh decoder of the sound library,
// all in one call: the reference the stream's block-wise decoding must match.
std::vector<std::byte> DecodeDirect(std::span<const std::byte> records);

} // namespace vsr::test
