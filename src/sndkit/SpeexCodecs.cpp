#include "sndkit/SpeexCodecs.h"

#include "sndkit/FrameCheck.h"
#include "sndkit/SampleRounding.h"

#include <algorithm>
#include <array>

namespace vsr::sndkit {

namespace {

constexpr int NarrowbandMode = 1;
// The bit writer is asked for at most this many bytes per frame.
constexpr int MaxFrameBytes = 2000;
// A record's length byte is signed.
constexpr int MaxRecordPayload = 127;

int FrameSizeOf(void* state, int (*ctl)(void*, int, void*)) {
    spx_int32_t frameSize = 0;
    ctl(state, SPEEX_GET_FRAME_SIZE, &frameSize);
    return std::max<int>(frameSize, 0);
}

} // namespace

// Decoder

std::unique_ptr<TSpeexDecoder> TSpeexDecoder::Create(int mode) {
    if (mode != NarrowbandMode)
        return nullptr;
    TDecoderState state(speex_decoder_init(&speex_nb_mode));
    if (!state)
        return nullptr;
    return std::make_unique<TSpeexDecoder>(TKey{}, std::move(state));
}

TSpeexDecoder::TSpeexDecoder(TKey, TDecoderState state) : FState(std::move(state)) {
    FFrameSize = FrameSizeOf(FState.get(), speex_decoder_ctl);
    // The bit buffer is made last: nothing after it can fail.
    FPcm.resize(static_cast<std::size_t>(FFrameSize));
    speex_bits_init(&FBits);
}

TSpeexDecoder::~TSpeexDecoder() {
    speex_bits_destroy(&FBits);
}

void TSpeexDecoder::Start() {
    speex_decoder_ctl(FState.get(), SPEEX_RESET_STATE, nullptr);
}

void TSpeexDecoder::SetRate(int rate) {
    FRate = rate;
    spx_int32_t value = rate;
    speex_decoder_ctl(FState.get(), SPEEX_SET_SAMPLING_RATE, &value);
}

int TSpeexDecoder::DecodeRecords(std::span<const unsigned char> in, short* out, int& damaged) {
    damaged = 0;
    std::size_t pos = 0;
    int frames = 0;
    while (pos < in.size()) {
        const int length = static_cast<signed char>(in[pos]);
        const std::size_t available = in.size() - pos - 1;
        if (length < 0 || static_cast<std::size_t>(length) > available)
            break;
        if (!DecodeFrame(in.subspan(pos + 1, static_cast<std::size_t>(length)),
                         out + static_cast<std::size_t>(frames) * FPcm.size()))
            ++damaged;
        ++frames;
        pos += 1 + static_cast<std::size_t>(length);
    }
    return frames * FFrameSize * 2;
}

bool TSpeexDecoder::DecodeFrame(std::span<const unsigned char> payload, short* out) {
    if (IsDamagedNarrowbandFrame(payload)) {
        std::fill(out, out + FPcm.size(), 0);
        return false;
    }
    speex_bits_read_from(&FBits, reinterpret_cast<const char*>(payload.data()),
                         static_cast<int>(payload.size()));
    // A frame libspeex rejects (empty or damaged) leaves the buffer untouched: it plays as
    // silence and keeps one frame of output per record.
    std::fill(FPcm.begin(), FPcm.end(), 0.0f);
    speex_decode(FState.get(), &FBits, FPcm.data());
    std::transform(FPcm.begin(), FPcm.end(), out, RoundDecodedSample);
    return true;
}

// Encoder

std::unique_ptr<TSpeexEncoder> TSpeexEncoder::Create(int mode) {
    if (mode != NarrowbandMode)
        return nullptr;
    TEncoderState state(speex_encoder_init(&speex_nb_mode));
    if (!state)
        return nullptr;
    return std::make_unique<TSpeexEncoder>(TKey{}, std::move(state));
}

TSpeexEncoder::TSpeexEncoder(TKey, TEncoderState state) : FState(std::move(state)) {
    FFrameSize = FrameSizeOf(FState.get(), speex_encoder_ctl);
    // The bit buffer is made last: nothing after it can fail.
    FPcm.resize(static_cast<std::size_t>(FFrameSize));
    speex_bits_init(&FBits);
}

TSpeexEncoder::~TSpeexEncoder() {
    speex_bits_destroy(&FBits);
}

void TSpeexEncoder::Start() {
    speex_encoder_ctl(FState.get(), SPEEX_RESET_STATE, nullptr);
}

void TSpeexEncoder::SetRate(int rate) {
    spx_int32_t value = rate;
    speex_encoder_ctl(FState.get(), SPEEX_SET_SAMPLING_RATE, &value);
}

void TSpeexEncoder::SetQuality(int quality) {
    spx_int32_t value = std::clamp(quality, 0, 10);
    speex_encoder_ctl(FState.get(), SPEEX_SET_QUALITY, &value);
}

void TSpeexEncoder::SetComplexity(int complexity) {
    // libspeex bounds complexity below only; the search depth behind it ends at 10.
    spx_int32_t value = std::clamp(complexity, 1, 10);
    speex_encoder_ctl(FState.get(), SPEEX_SET_COMPLEXITY, &value);
}

int TSpeexEncoder::EncodeFrames(std::span<const short> in, unsigned char* out) {
    const std::size_t frameSize = FPcm.size();
    int written = 0;
    for (std::size_t pos = 0; frameSize > 0 && in.size() - pos >= frameSize; pos += frameSize)
        written += EncodeFrame(in.subspan(pos, frameSize), out + written);
    return written;
}

int TSpeexEncoder::EncodeFrame(std::span<const short> samples, unsigned char* out) {
    std::copy(samples.begin(), samples.end(), FPcm.begin());
    speex_bits_reset(&FBits);
    speex_encode(FState.get(), FPcm.data(), &FBits);
    std::array<char, MaxFrameBytes> bytes{};
    const int length = speex_bits_write(&FBits, bytes.data(), MaxFrameBytes);
    // Narrowband frames take at most 62 bytes; a longer one could not be read back.
    const int payload = std::clamp(length, 0, MaxRecordPayload);
    out[0] = static_cast<unsigned char>(payload);
    std::copy_n(bytes.begin(), payload, out + 1);
    return 1 + payload;
}

} // namespace vsr::sndkit
