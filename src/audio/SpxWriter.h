#pragma once
// TSpxWriter: codes 8000 Hz 16-bit mono PCM into an SPX stream ("SPX1.1" header, Speex
// frame records, silence table), the form in which a recording carries its voice track.
//
// Runs of silent frames (every sample within the threshold) of at least the minimum length
// are left out of the frame data and listed in the silence table instead; shorter runs are
// coded like sound. PCM may arrive in pieces of any size; a final partial frame is padded
// with zeros. Frames are coded as they complete, so memory grows only with the compressed
// data (about 1.5 KB per second at quality 6).

#include "audio/SpxSilence.h"
#include "platform/Stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace vsr {

class ESpxWriter : public Exception {
public:
    using Exception::Exception;
};

enum class TSpxSilenceHandling { Code, LeaveOut };

struct TSpxWriterSettings {
    std::int32_t Quality = 6;     // 1..10
    std::int32_t Complexity = 10; // 1..10
    TSpxSilenceHandling Silences = TSpxSilenceHandling::LeaveOut;
    std::int32_t SilenceThreshold = 64; // a frame is silent when no |sample| exceeds this
    std::int32_t MinSilenceFrames = 10; // shorter runs of silent frames stay coded; >= 1
};

class TSpxWriter {
public:
    static constexpr std::int32_t Channels = 1;
    static constexpr std::int32_t Rate = 8000;

    // Raises ESpxWriter for settings out of range; library errors pass through.
    explicit TSpxWriter(const TSpxWriterSettings& settings = {});
    ~TSpxWriter();
    TSpxWriter(const TSpxWriter&) = delete;
    TSpxWriter& operator=(const TSpxWriter&) = delete;

    void Write(std::span<const std::int16_t> samples);
    // 16-bit little-endian samples; an odd last byte waits for its partner.
    void WritePcm(std::span<const std::byte> pcm);

    // Codes what is left and returns the whole stream; the writer takes no more PCM after.
    std::vector<std::byte> Finish();
    void Finish(TStream& target);

    // Codes a whole PCM buffer in one go.
    static std::vector<std::byte> Encode(std::span<const std::int16_t> samples,
                                         const TSpxWriterSettings& settings = {});

    std::int32_t FrameSamples() const { return FFrameSamples; }
    std::int32_t EncodedFrameBytes() const { return FEncodedFrameBytes; }
    // The silences found so far (a run still going on is not listed yet).
    std::span<const TSpxSilence> Silences() const { return FSilences; }
    std::int64_t FrameDataBytes() const { return static_cast<std::int64_t>(FFrameData.size()); }

private:
    struct TEncoderRelease {
        void operator()(void* handle) const;
    };

    void CheckOpen() const;
    void AddSample(std::int16_t sample);
    void FrameComplete();
    bool IsSilent(std::span<const std::int16_t> frame) const;
    void EndSilentRun();
    void EncodeFrame(std::span<const std::int16_t> frame);

    TSpxWriterSettings FSettings;
    std::unique_ptr<void, TEncoderRelease> FEncoder;
    std::int32_t FFrameSamples = 0;
    std::int32_t FEncodedFrameBytes = 0;
    std::vector<std::int16_t> FFrame;   // samples of the frame being filled
    std::vector<std::int16_t> FPending; // silent frames held while the run is still short
    std::int64_t FSilentRun = 0;        // frames in the current run of silent frames
    std::vector<std::byte> FFrameData;
    std::vector<std::byte> FRecord; // output of one coded frame
    std::vector<TSpxSilence> FSilences;
    std::optional<std::byte> FOddByte;
    bool FFinished = false;
};

} // namespace vsr
