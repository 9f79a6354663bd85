#pragma once
// The library's narrowband decoder and encoder over libspeex; each owns its codec state and
// its bit buffer. Not thread-safe: the entry points serialise all calls.

#include <speex/speex.h>

#include <memory>
#include <span>
#include <vector>

namespace vsr::sndkit {

struct TDecoderStateDeleter {
    void operator()(void* state) const { speex_decoder_destroy(state); }
};
struct TEncoderStateDeleter {
    void operator()(void* state) const { speex_encoder_destroy(state); }
};
using TDecoderState = std::unique_ptr<void, TDecoderStateDeleter>;
using TEncoderState = std::unique_ptr<void, TEncoderStateDeleter>;

class TSpeexDecoder {
    struct TKey {
        explicit TKey() = default;
    };

public:
    // nullptr when the mode is not narrowband (1) or libspeex cannot make the state.
    static std::unique_ptr<TSpeexDecoder> Create(int mode);
    TSpeexDecoder(TKey, TDecoderState state);
    ~TSpeexDecoder();
    TSpeexDecoder(const TSpeexDecoder&) = delete;
    TSpeexDecoder& operator=(const TSpeexDecoder&) = delete;

    void Start();
    void SetChannels(int channels) { FChannels = channels; }
    void SetRate(int rate);
    void SetQuality(int quality) { FQuality = quality; }
    void SetComplexity(int complexity) { FComplexity = complexity; }
    int FrameSize() const { return FFrameSize; }

    // Decodes the frame records of In into consecutive frames at Out; stops at the first
    // record whose length is negative or runs past the end. Result: bytes written. damaged
    // counts the frames that were played as silence because their header is damaged.
    int DecodeRecords(std::span<const unsigned char> in, short* out, int& damaged);

private:
    // False, and silence at Out, for a frame that is damage.
    bool DecodeFrame(std::span<const unsigned char> payload, short* out);

    TDecoderState FState;
    SpeexBits FBits;
    int FFrameSize = 0;
    std::vector<float> FPcm;
    int FChannels = 1;
    int FRate = 8000;
    int FQuality = 0;
    int FComplexity = 0;
};

class TSpeexEncoder {
    struct TKey {
        explicit TKey() = default;
    };

public:
    static std::unique_ptr<TSpeexEncoder> Create(int mode);
    TSpeexEncoder(TKey, TEncoderState state);
    ~TSpeexEncoder();
    TSpeexEncoder(const TSpeexEncoder&) = delete;
    TSpeexEncoder& operator=(const TSpeexEncoder&) = delete;

    void Start();
    void SetChannels(int channels) { FChannels = channels; }
    void SetRate(int rate);
    void SetQuality(int quality);
    void SetComplexity(int complexity);
    int FrameSize() const { return FFrameSize; }

    // Codes the whole frames of In as frame records at Out. Result: bytes written.
    int EncodeFrames(std::span<const short> in, unsigned char* out);

private:
    int EncodeFrame(std::span<const short> samples, unsigned char* out);

    TEncoderState FState;
    SpeexBits FBits;
    int FFrameSize = 0;
    std::vector<float> FPcm;
    int FChannels = 1;
};

} // namespace vsr::sndkit
