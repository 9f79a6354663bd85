#pragma once
// Fixtures for the SPX tests: PCM signals, frame data made by the project's writer, SPX files
// laid out by hand around it, and a reference decoding straight through the library.

#include "audio/SndKitLibrary.h"
#include "audio/SpxSilence.h"
#include "audio/SpxStream.h"
#include "audio/SpxWriter.h"
#include "recording/RecordingTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace vsr::test {

inline constexpr int SampleRate = 8000;
inline constexpr int FrameSamples = 160;
inline constexpr std::int64_t RecordBytes = 29; // quality 6, complexity 10

// Every SPX test calls the real sound library built beside the tests.
class TSpxTest : public ::testing::Test {
protected:
    void SetUp() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
    TTempDir FDir;
};

inline void AppendTone(std::vector<std::int16_t>& pcm, double hz, int samples,
                       double amplitude = 8000) {
    const std::size_t first = pcm.size();
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(first + static_cast<std::size_t>(i)) / SampleRate;
        pcm.push_back(static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * t))));
    }
}

inline void AppendSilence(std::vector<std::int16_t>& pcm, int samples) {
    pcm.insert(pcm.end(), static_cast<std::size_t>(samples), 0);
}

// Little-endian values, as the format stores them (the test machines are little-endian).
template <typename T> void Put(std::vector<std::byte>& out, T value) {
    const auto* bytes = reinterpret_cast<const std::byte*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}
template <typename T> T Get(std::span<const std::byte> bytes, std::size_t at) {
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}
inline std::int32_t GetInt32(std::span<const std::byte> bytes, std::size_t at) {
    return Get<std::int32_t>(bytes, at);
}

// The frame records of a stream made by the writer (between the header and the table).
inline std::vector<std::byte> FrameDataOf(const std::vector<std::byte>& spx) {
    return {spx.begin() + 22, spx.begin() + Get<std::int64_t>(spx, spx.size() - 8)};
}

// Frame data of `frames` valid records, coded from a tone without leaving anything out.
inline std::vector<std::byte> ToneRecords(int frames, double hz = 440) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, hz, frames * FrameSamples);
    TSpxWriterSettings settings;
    settings.Silences = TSpxSilenceHandling::Code;
    return FrameDataOf(TSpxWriter::Encode(pcm, settings));
}

struct THeader {
    std::int32_t Channels = 1;
    std::int32_t Rate = 8000;
    std::int32_t Quality = 6;
    std::int32_t Complexity = 10;
};

// An SPX stream with magic, laid out as the format defines it.
inline std::vector<std::byte> BuildSpx(const std::vector<std::byte>& frameData,
                                       const std::vector<TSpxSilence>& silences,
                                       const THeader& header = {}) {
    std::vector<std::byte> out;
    for (const char c : std::string("SPX1.1"))
        out.push_back(static_cast<std::byte>(c));
    for (const std::int32_t value :
         {header.Channels, header.Rate, header.Quality, header.Complexity})
        Put(out, value);
    out.insert(out.end(), frameData.begin(), frameData.end());
    const auto tableOffset = static_cast<std::int64_t>(out.size());
    Put(out, static_cast<std::int32_t>(silences.size()));
    for (const TSpxSilence& silence : silences) {
        Put(out, silence.Start);
        Put(out, silence.Length);
    }
    Put(out, tableOffset);
    return out;
}

inline std::string WriteFile(const TTempDir& dir, const std::string& name,
                             const std::vector<std::byte>& bytes) {
    WriteFileBytes(dir.File(name), bytes);
    return dir.File(name);
}

// Reads in pieces of `piece` bytes until a Read returns 0.
inline std::vector<std::byte> ReadAll(TSpxStream& stream, std::size_t piece = 3200) {
    std::vector<std::byte> out;
    std::vector<std::byte> buffer(piece);
    while (const std::size_t got = stream.Read(buffer))
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
    return out;
}

inline std::vector<std::int16_t> Samples(std::span<const std::byte> pcm) {
    std::vector<std::int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    return samples;
}

inline bool AllZero(std::span<const std::byte> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

// Decodes frame records with a fresh decoder of the library, all in one call.
inline std::vector<std::byte> DecodeDirect(std::span<const std::byte> records) {
    void* handle = nullptr;
    InitSpeexDecoder(1, &handle);
    StartSpeexDecoder(handle);
    SetDecoderChannels(handle, 1);
    SetDecoderRate(handle, 8000);
    SetDecoderQuality(handle, 6);
    SetDecoderComplexity(handle, 10);
    std::vector<std::byte> pcm(records.size() / RecordBytes * FrameSamples * 2);
    const int bytes =
        SpeexMyDecode(handle, reinterpret_cast<const unsigned char*>(records.data()),
                      static_cast<int>(records.size()), reinterpret_cast<short*>(pcm.data()));
    DoneSpeexDecoder(&handle);
    pcm.resize(static_cast<std::size_t>(bytes));
    return pcm;
}

// Frequency of the strongest component between lowHz and highHz, in 1 Hz steps (Goertzel).
inline double DominantHz(std::span<const std::int16_t> samples, int lowHz = 100,
                         int highHz = 3000) {
    double bestPower = -1;
    int bestHz = 0;
    for (int hz = lowHz; hz <= highHz; ++hz) {
        const double coeff = 2 * std::cos(2 * std::numbers::pi * hz / SampleRate);
        double s1 = 0;
        double s2 = 0;
        for (const std::int16_t sample : samples) {
            const double s0 = sample + coeff * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
        if (power > bestPower) {
            bestPower = power;
            bestHz = hz;
        }
    }
    return bestHz;
}

} // namespace vsr::test
