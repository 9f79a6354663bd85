#include "audio/VoiceShaper.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vsr {

namespace {

constexpr int cSampleRate = 8000;
constexpr std::size_t cSampleBytes = sizeof(std::int16_t);
// 64 ms of voice per read: small enough to keep the first output quick after a restart.
constexpr std::size_t cChunkSamples = 512;
constexpr float cScale = 32768.0f;

std::int16_t SampleAt(std::span<const std::byte> bytes, std::size_t index) {
    std::int16_t sample = 0;
    std::memcpy(&sample, bytes.data() + index * cSampleBytes, cSampleBytes);
    return sample;
}

void SetSampleAt(std::span<std::byte> bytes, std::size_t index, std::int16_t sample) {
    std::memcpy(bytes.data() + index * cSampleBytes, &sample, cSampleBytes);
}

} // namespace

// The time stretcher (WSOLA, pitch kept) and its float buffers.
class TVoiceShaper::TStretcher {
public:
    TStretcher() {
        FTouch.setSampleRate(cSampleRate);
        FTouch.setChannels(1);
    }

    void SetTempo(double tempo) {
        FTouch.setTempo(tempo);
        Clear();
    }

    void Clear() {
        FTouch.clear();
        FFlushed = false;
    }

    void Put(std::span<const std::byte> bytes) {
        const std::size_t count = bytes.size() / cSampleBytes;
        FBuffer.resize(count);
        for (std::size_t i = 0; i < count; ++i)
            FBuffer[i] = static_cast<float>(SampleAt(bytes, i)) / cScale;
        FTouch.putSamples(FBuffer.data(), static_cast<unsigned>(count));
    }

    // Hands on the tail at the end of the voice, cut to the length the input is due.
    void Flush() {
        FTouch.flush();
        FFlushed = true;
    }
    bool Flushed() const { return FFlushed; }

    // Returns how many samples were written to out.
    std::size_t Receive(std::span<std::byte> out) {
        const std::size_t wanted = out.size() / cSampleBytes;
        FBuffer.resize(std::max(FBuffer.size(), wanted));
        const std::size_t got =
            FTouch.receiveSamples(FBuffer.data(), static_cast<unsigned>(wanted));
        for (std::size_t i = 0; i < got; ++i) {
            const float value = std::clamp(std::round(FBuffer[i] * cScale), -32768.0f, 32767.0f);
            SetSampleAt(out, i, static_cast<std::int16_t>(value));
        }
        return got;
    }

private:
    soundtouch::SoundTouch FTouch;
    std::vector<float> FBuffer;
    bool FFlushed = false;
};

TVoiceShaper::TVoiceShaper()
    : FStretcher(std::make_unique<TStretcher>()), FChunk(cChunkSamples * cSampleBytes) {}

TVoiceShaper::~TVoiceShaper() = default;

void TVoiceShaper::SetSpeed(double speed) {
    FSpeed.store(speed, std::memory_order_relaxed);
    FStretcher->SetTempo(speed);
}

void TVoiceShaper::SetVolume(int percent) {
    FVolume.store(std::clamp(percent, 0, 100), std::memory_order_relaxed);
}

void TVoiceShaper::Restart(std::int64_t position) {
    FStretcher->Clear();
    FProduced.store(0, std::memory_order_relaxed);
    FRead.store(position, std::memory_order_relaxed);
    FStart.store(position, std::memory_order_release);
}

std::size_t TVoiceShaper::Fill(TStream& source, std::span<std::byte> out) {
    out = out.first(out.size() - out.size() % cSampleBytes);
    const std::size_t written = Speed() == 1.0 ? Copy(source, out) : Stretch(source, out);
    ApplyVolume(out.first(written));
    FProduced.fetch_add(static_cast<std::int64_t>(written), std::memory_order_release);
    return written;
}

std::size_t TVoiceShaper::Copy(TStream& source, std::span<std::byte> out) {
    return ReadSamples(source, out);
}

std::size_t TVoiceShaper::Stretch(TStream& source, std::span<std::byte> out) {
    std::size_t written = 0;
    while (written < out.size()) {
        const std::size_t got = FStretcher->Receive(out.subspan(written)) * cSampleBytes;
        written += got;
        if (got > 0)
            continue;
        if (FStretcher->Flushed())
            break;
        const std::size_t read = ReadSamples(source, FChunk);
        if (read == 0)
            FStretcher->Flush();
        else
            FStretcher->Put(std::span(FChunk).first(read));
    }
    return written;
}

// Reads until out is full or the source ends; a half sample at the very end is dropped.
std::size_t TVoiceShaper::ReadSamples(TStream& source, std::span<std::byte> out) {
    std::size_t total = 0;
    while (total < out.size()) {
        const std::size_t got = source.Read(out.subspan(total));
        if (got == 0)
            break;
        total += got;
    }
    FRead.fetch_add(static_cast<std::int64_t>(total), std::memory_order_release);
    return total - total % cSampleBytes;
}

// Integer scaling rounds towards zero, so silence stays exactly silent.
void TVoiceShaper::ApplyVolume(std::span<std::byte> out) const {
    const int volume = Muted() ? 0 : Volume();
    if (volume == 100)
        return;
    for (std::size_t i = 0; i < out.size() / cSampleBytes; ++i)
        SetSampleAt(out, i, static_cast<std::int16_t>(SampleAt(out, i) * volume / 100));
}

std::int64_t TVoiceShaper::HeardPosition(std::int64_t queuedBytes) const {
    const std::int64_t start = FStart.load(std::memory_order_acquire);
    const std::int64_t produced = FProduced.load(std::memory_order_acquire);
    const std::int64_t read = FRead.load(std::memory_order_acquire);
    const double played = static_cast<double>(std::max<std::int64_t>(produced - queuedBytes, 0));
    auto heard = start + static_cast<std::int64_t>(played * Speed());
    heard -= (heard - start) % static_cast<std::int64_t>(cSampleBytes);
    return std::clamp(heard, start, std::max(start, read));
}

} // namespace vsr
