#pragma once
// TVoiceShaper: the voice output's speed (pitch kept) and volume. It reads 16-bit mono PCM
// from a stream, stretches it in time at speeds other than 1, scales it by the volume, and
// counts what it produced so that the clock can be told in voice-track bytes at any speed.
//
// Threads: Fill runs on the thread that feeds the wave output. SetSpeed and Restart must not
// overlap a Fill (the owner stops the output around them). Volume and mute may change at any
// time; HeardPosition may be called from any thread.

#include "platform/Stream.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace vsr {

class TVoiceShaper {
public:
    static constexpr std::array<double, 6> Speeds{0.5, 0.75, 1.0, 1.25, 1.5, 2.0};

    TVoiceShaper();
    ~TVoiceShaper();
    TVoiceShaper(const TVoiceShaper&) = delete;
    TVoiceShaper& operator=(const TVoiceShaper&) = delete;

    // Drops what the stretcher holds; the owner calls Restart before the next Fill.
    void SetSpeed(double speed);
    double Speed() const { return FSpeed.load(std::memory_order_relaxed); }
    void SetVolume(int percent); // clamped to 0..100
    int Volume() const { return FVolume.load(std::memory_order_relaxed); }
    // Muting keeps the volume for when the sound comes back.
    void SetMuted(bool muted) { FMuted.store(muted, std::memory_order_relaxed); }
    bool Muted() const { return FMuted.load(std::memory_order_relaxed); }

    // Output starts anew at voice-track byte `position` (a seek, a speed change, a start):
    // what the stretcher holds and the counts are forgotten. The source is not moved.
    void Restart(std::int64_t position);

    // Fills out from source's position with whole samples; returns the bytes written (even).
    // Returns 0 only once the source is exhausted and the stretcher has given its tail.
    std::size_t Fill(TStream& source, std::span<std::byte> out);

    // The voice-track byte being heard while queuedBytes of output wait to be played.
    std::int64_t HeardPosition(std::int64_t queuedBytes) const;

private:
    class TStretcher;

    std::size_t Copy(TStream& source, std::span<std::byte> out);
    std::size_t Stretch(TStream& source, std::span<std::byte> out);
    std::size_t ReadSamples(TStream& source, std::span<std::byte> out);
    void ApplyVolume(std::span<std::byte> out) const;

    std::unique_ptr<TStretcher> FStretcher;
    std::vector<std::byte> FChunk;
    std::atomic<double> FSpeed{1.0};
    std::atomic<int> FVolume{100};
    std::atomic<bool> FMuted{false};
    // Where the stretch began, how many output bytes it produced, how far the source was read.
    std::atomic<std::int64_t> FStart{0};
    std::atomic<std::int64_t> FProduced{0};
    std::atomic<std::int64_t> FRead{0};
};

} // namespace vsr
