#include "support/Voice.h"

#include "audio/SndKitLibrary.h"
#include "audio/SpxWriter.h"
#include "support/Files.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace vsr::test {

void AppendTone(std::vector<std::int16_t>& pcm, double hz, int samples, double amplitude) {
    const std::size_t first = pcm.size();
    for (int i = 0; i < samples; ++i) {
        const double t = static_cast<double>(first + static_cast<std::size_t>(i)) / SampleRate;
        pcm.push_back(static_cast<std::int16_t>(
            std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * t))));
    }
}

std::vector<std::int16_t> Tone(std::uint32_t lengthMs, double hz) {
    std::vector<std::int16_t> samples;
    AppendTone(samples, hz, static_cast<int>(lengthMs) * SampleRate / 1000);
    return samples;
}

std::vector<std::int16_t> Silence(std::uint32_t lengthMs) {
    return std::vector<std::int16_t>(static_cast<std::size_t>(lengthMs) * SampleRate / 1000);
}

std::vector<std::int16_t> Joined(std::initializer_list<std::vector<std::int16_t>> parts) {
    std::vector<std::int16_t> all;
    for (const auto& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

std::vector<std::byte> VoiceTrack(const std::vector<std::int16_t>& samples) {
    TSpxWriterSettings settings;
    settings.Complexity = 1;
    settings.Quality = 4;
    return TSpxWriter::Encode(samples, settings);
}

std::vector<std::byte> FrameDataOf(const std::vector<std::byte>& spx) {
    return {spx.begin() + 22, spx.begin() + Get<std::int64_t>(spx, spx.size() - 8)};
}

std::vector<std::byte> ToneRecords(int frames, double hz) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, hz, frames * FrameSamples);
    TSpxWriterSettings settings;
    settings.Silences = TSpxSilenceHandling::Code;
    return FrameDataOf(TSpxWriter::Encode(pcm, settings));
}

std::vector<std::byte> BuildSpx(const std::vector<std::byte>& frameData,
                                const std::vector<TSpxSilence>& silences,
                                const TSpxHeaderValues& header) {
    std::vector<std::byte> out = Bytes("SPX1.1");
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

std::vector<std::byte> ReadAll(TSpxStream& stream, std::size_t piece) {
    std::vector<std::byte> out;
    std::vector<std::byte> buffer(piece);
    while (const std::size_t got = stream.Read(buffer))
        out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(got));
    return out;
}

std::vector<std::int16_t> Samples(std::span<const std::byte> pcm) {
    std::vector<std::int16_t> samples(pcm.size() / 2);
    std::memcpy(samples.data(), pcm.data(), samples.size() * 2);
    return samples;
}

bool AllZero(std::span<const std::byte> bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](std::byte b) { return b == std::byte{0}; });
}

std::vector<std::byte> DecodeDirect(std::span<const std::byte> records) {
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

} // namespace vsr::test
