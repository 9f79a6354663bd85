// The exported C entry points: each takes the library lock, finds its codec by handle and
// does nothing for a handle it does not know.

#include "sndkit/CodecRegistry.h"
#include "sndkit/SndKit.h"

#include <span>
#include <string>

using vsr::sndkit::Registry;
using vsr::sndkit::TSpeexDecoder;
using vsr::sndkit::TSpeexEncoder;

namespace {

template <typename TFunc> void WithDecoder(void* handle, TFunc&& func) {
    std::lock_guard lock(Registry().Mutex);
    if (TSpeexDecoder* decoder = Registry().Decoders.Find(handle))
        func(*decoder);
}

template <typename TFunc> void WithEncoder(void* handle, TFunc&& func) {
    std::lock_guard lock(Registry().Mutex);
    if (TSpeexEncoder* encoder = Registry().Encoders.Find(handle))
        func(*encoder);
}

template <typename TCodec, typename TTable> int InitCodec(TTable& table, int mode, void** handle) {
    std::lock_guard lock(Registry().Mutex);
    Registry().Initialized = true;
    if (!handle)
        return -1;
    *handle = nullptr;
    auto codec = TCodec::Create(mode);
    if (!codec)
        return -1;
    *handle = table.Add(std::move(codec));
    return 0;
}

// A live codec of the other kind is left alone, handle included, so the caller can still
// release it; any other handle ends up null.
template <typename TTable, typename TOtherTable>
void DoneCodec(TTable& table, const TOtherTable& other, void** handle) {
    if (!handle)
        return;
    std::lock_guard lock(Registry().Mutex);
    if (other.Find(*handle))
        return;
    table.Remove(*handle);
    *handle = nullptr;
}

} // namespace

extern "C" {

void SetDebugHook(void (*hook)(const char* text)) {
    std::lock_guard lock(Registry().Mutex);
    Registry().DebugHook = hook;
}

int InitSpeexDecoder(int mode, void** handle) {
    return InitCodec<TSpeexDecoder>(Registry().Decoders, mode, handle);
}

void StartSpeexDecoder(void* handle) {
    WithDecoder(handle, [](TSpeexDecoder& decoder) { decoder.Start(); });
}

void SetDecoderChannels(void* handle, int channels) {
    WithDecoder(handle, [&](TSpeexDecoder& decoder) { decoder.SetChannels(channels); });
}

void SetDecoderRate(void* handle, int rate) {
    WithDecoder(handle, [&](TSpeexDecoder& decoder) { decoder.SetRate(rate); });
}

void SetDecoderQuality(void* handle, int quality) {
    WithDecoder(handle, [&](TSpeexDecoder& decoder) { decoder.SetQuality(quality); });
}

void SetDecoderComplexity(void* handle, int complexity) {
    WithDecoder(handle, [&](TSpeexDecoder& decoder) { decoder.SetComplexity(complexity); });
}

int SpeexMyDecode(void* handle, const unsigned char* in, int inLength, short* out) {
    if (!in || !out || inLength <= 0)
        return 0;
    int written = 0;
    WithDecoder(handle, [&](TSpeexDecoder& decoder) {
        int damaged = 0;
        written = decoder.DecodeRecords(
            std::span<const unsigned char>(in, static_cast<std::size_t>(inLength)), out, damaged);
        if (damaged > 0 && Registry().DebugHook) {
            const std::string text =
                std::to_string(damaged) + " damaged voice frame(s) played as silence";
            Registry().DebugHook(text.c_str());
        }
    });
    return written;
}

void DoneSpeexDecoder(void** handle) {
    DoneCodec(Registry().Decoders, Registry().Encoders, handle);
}

int InitSpeexEncoder(int mode, void** handle) {
    return InitCodec<TSpeexEncoder>(Registry().Encoders, mode, handle);
}

void StartSpeexEncoder(void* handle) {
    WithEncoder(handle, [](TSpeexEncoder& encoder) { encoder.Start(); });
}

void SetEncoderChannels(void* handle, int channels) {
    WithEncoder(handle, [&](TSpeexEncoder& encoder) { encoder.SetChannels(channels); });
}

void SetEncoderRate(void* handle, int rate) {
    WithEncoder(handle, [&](TSpeexEncoder& encoder) { encoder.SetRate(rate); });
}

void SetEncoderQuality(void* handle, int quality) {
    WithEncoder(handle, [&](TSpeexEncoder& encoder) { encoder.SetQuality(quality); });
}

void SetEncoderComplexity(void* handle, int complexity) {
    WithEncoder(handle, [&](TSpeexEncoder& encoder) { encoder.SetComplexity(complexity); });
}

int GetEncoderFrameSize(void* handle) {
    int frameSize = 0;
    WithEncoder(handle, [&](TSpeexEncoder& encoder) { frameSize = encoder.FrameSize(); });
    return frameSize;
}

int SpeexMyEncode16(void* handle, const short* in, int inBytes, unsigned char* out) {
    if (!in || !out || inBytes <= 0)
        return 0;
    int written = 0;
    WithEncoder(handle, [&](TSpeexEncoder& encoder) {
        written = encoder.EncodeFrames(
            std::span<const short>(in, static_cast<std::size_t>(inBytes) / 2), out);
    });
    return written;
}

void DoneSpeexEncoder(void** handle) {
    DoneCodec(Registry().Encoders, Registry().Decoders, handle);
}

int IsInitialized(void) {
    std::lock_guard lock(Registry().Mutex);
    return Registry().Initialized ? 1 : 0;
}

void DeinitDll(void) {
    std::lock_guard lock(Registry().Mutex);
    Registry().Decoders.Clear();
    Registry().Encoders.Clear();
    Registry().Initialized = false;
}

} // extern "C"
