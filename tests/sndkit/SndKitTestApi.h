#pragma once
// The sound library opened directly with dlopen, without the program's binding, and a
// deterministic test voice.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <type_traits>
#include <vector>

namespace vsr::test {

#define VSR_SNDKIT_ENTRIES(X)                                                                      \
    X(InitSpeexDecoder, int(int, void**))                                                          \
    X(StartSpeexDecoder, void(void*))                                                              \
    X(SetDecoderChannels, void(void*, int))                                                        \
    X(SetDecoderRate, void(void*, int))                                                            \
    X(SetDecoderQuality, void(void*, int))                                                         \
    X(SetDecoderComplexity, void(void*, int))                                                      \
    X(SpeexMyDecode, int(void*, const unsigned char*, int, short*))                                \
    X(DoneSpeexDecoder, void(void**))                                                              \
    X(InitSpeexEncoder, int(int, void**))                                                          \
    X(StartSpeexEncoder, void(void*))                                                              \
    X(SetEncoderChannels, void(void*, int))                                                        \
    X(SetEncoderRate, void(void*, int))                                                            \
    X(SetEncoderQuality, void(void*, int))                                                         \
    X(SetEncoderComplexity, void(void*, int))                                                      \
    X(GetEncoderFrameSize, int(void*))                                                             \
    X(SpeexMyEncode16, int(void*, const short*, int, unsigned char*))                              \
    X(DoneSpeexEncoder, void(void**))                                                              \
    X(IsInitialized, int())                                                                        \
    X(DeinitDll, void())

struct TSndKitApi {
    void* Module = dlopen(VSR_SNDKIT_PATH, RTLD_NOW | RTLD_LOCAL);
#define VSR_DECLARE(name, type)                                                                    \
    std::add_pointer_t<type> name =                                                                \
        reinterpret_cast<std::add_pointer_t<type>>(Module ? dlsym(Module, #name) : nullptr);
    VSR_SNDKIT_ENTRIES(VSR_DECLARE)
#undef VSR_DECLARE

    ~TSndKitApi() {
        if (Module)
            dlclose(Module);
    }
    TSndKitApi() = default;
    TSndKitApi(const TSndKitApi&) = delete;
    TSndKitApi& operator=(const TSndKitApi&) = delete;

    bool Complete() const {
#define VSR_CHECK(name, type) &&name
        return Module VSR_SNDKIT_ENTRIES(VSR_CHECK);
#undef VSR_CHECK
    }

    // A started codec with the given settings, in the order the program uses.
    void* MakeEncoder(int quality, int complexity) const {
        void* handle = nullptr;
        EXPECT_EQ(InitSpeexEncoder(1, &handle), 0);
        StartSpeexEncoder(handle);
        SetEncoderChannels(handle, 1);
        SetEncoderRate(handle, 8000);
        SetEncoderQuality(handle, quality);
        SetEncoderComplexity(handle, complexity);
        return handle;
    }
    void* MakeDecoder(int quality, int complexity) const {
        void* handle = nullptr;
        EXPECT_EQ(InitSpeexDecoder(1, &handle), 0);
        StartSpeexDecoder(handle);
        SetDecoderChannels(handle, 1);
        SetDecoderRate(handle, 8000);
        SetDecoderQuality(handle, quality);
        SetDecoderComplexity(handle, complexity);
        return handle;
    }
};

// A loud voice-like test signal: two tones and a deterministic noise, clipped at the
// 16-bit limits so that some frames go full scale.
inline std::vector<short> TestVoice(int frames) {
    std::vector<short> samples(static_cast<std::size_t>(frames) * 160);
    std::uint32_t noise = 12345;
    for (std::size_t i = 0; i < samples.size(); ++i) {
        noise = noise * 1103515245u + 12345u;
        const double t = static_cast<double>(i) / 8000.0;
        const double swell = (i / 800) % 2 == 0 ? 1.0 : 0.3;
        const double value = swell * (30000.0 * std::sin(2 * M_PI * 220.0 * t) +
                                      12000.0 * std::sin(2 * M_PI * 1250.0 * t)) +
                             static_cast<double>(static_cast<int>(noise >> 20) - 2048);
        samples[i] = static_cast<short>(std::clamp(value, -32768.0, 32767.0));
    }
    return samples;
}

} // namespace vsr::test
