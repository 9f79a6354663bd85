#pragma once
// The sound library opened directly with dlopen, without the program's binding, and a
// deterministic test voice.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace vsr::test {

struct TSndKitApi {
    void* Module = nullptr;
    int (*InitSpeexDecoder)(int, void**) = nullptr;
    void (*StartSpeexDecoder)(void*) = nullptr;
    void (*SetDecoderChannels)(void*, int) = nullptr;
    void (*SetDecoderRate)(void*, int) = nullptr;
    void (*SetDecoderQuality)(void*, int) = nullptr;
    void (*SetDecoderComplexity)(void*, int) = nullptr;
    int (*SpeexMyDecode)(void*, const unsigned char*, int, short*) = nullptr;
    void (*DoneSpeexDecoder)(void**) = nullptr;
    int (*InitSpeexEncoder)(int, void**) = nullptr;
    void (*StartSpeexEncoder)(void*) = nullptr;
    void (*SetEncoderChannels)(void*, int) = nullptr;
    void (*SetEncoderRate)(void*, int) = nullptr;
    void (*SetEncoderQuality)(void*, int) = nullptr;
    void (*SetEncoderComplexity)(void*, int) = nullptr;
    int (*GetEncoderFrameSize)(void*) = nullptr;
    int (*SpeexMyEncode16)(void*, const short*, int, unsigned char*) = nullptr;
    void (*DoneSpeexEncoder)(void**) = nullptr;
    int (*IsInitialized)() = nullptr;
    void (*DeinitDll)() = nullptr;

    TSndKitApi() {
        Module = dlopen(VSR_SNDKIT_PATH, RTLD_NOW | RTLD_LOCAL);
        if (!Module)
            return;
        Bind(InitSpeexDecoder, "InitSpeexDecoder");
        Bind(StartSpeexDecoder, "StartSpeexDecoder");
        Bind(SetDecoderChannels, "SetDecoderChannels");
        Bind(SetDecoderRate, "SetDecoderRate");
        Bind(SetDecoderQuality, "SetDecoderQuality");
        Bind(SetDecoderComplexity, "SetDecoderComplexity");
        Bind(SpeexMyDecode, "SpeexMyDecode");
        Bind(DoneSpeexDecoder, "DoneSpeexDecoder");
        Bind(InitSpeexEncoder, "InitSpeexEncoder");
        Bind(StartSpeexEncoder, "StartSpeexEncoder");
        Bind(SetEncoderChannels, "SetEncoderChannels");
        Bind(SetEncoderRate, "SetEncoderRate");
        Bind(SetEncoderQuality, "SetEncoderQuality");
        Bind(SetEncoderComplexity, "SetEncoderComplexity");
        Bind(GetEncoderFrameSize, "GetEncoderFrameSize");
        Bind(SpeexMyEncode16, "SpeexMyEncode16");
        Bind(DoneSpeexEncoder, "DoneSpeexEncoder");
        Bind(IsInitialized, "IsInitialized");
        Bind(DeinitDll, "DeinitDll");
    }
    ~TSndKitApi() {
        if (Module)
            dlclose(Module);
    }
    TSndKitApi(const TSndKitApi&) = delete;
    TSndKitApi& operator=(const TSndKitApi&) = delete;

    bool Complete() const { return Module && Missing == 0; }

    // A started encoder with the given settings, in the order the program uses.
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

private:
    template <typename F> void Bind(F& proc, const char* name) {
        proc = reinterpret_cast<F>(dlsym(Module, name));
        if (!proc) {
            ADD_FAILURE() << "libsndkit does not export " << name;
            ++Missing;
        }
    }
    int Missing = 0;
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
