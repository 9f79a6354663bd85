// A stand-in sound library: its entries answer what the test sets and log their calls.

#define VSR_STANDIN_LIBRARY
#include "../StandInControls.h"

#define STANDIN_API extern "C" __attribute__((visibility("default")))

extern "C" {
__attribute__((visibility("default"))) vsr::test::TStandInState StandInState;
}

namespace {
int Token = 0;
void Log(const std::string& call, int value) {
    StandInState.Log += call + "(" + std::to_string(value) + ");";
}
} // namespace

STANDIN_API int InitSpeexEncoder(int mode, void** handle) {
    Log("Init", mode);
    *handle = StandInState.InitResult == 0 ? &Token : nullptr;
    return StandInState.InitResult;
}
STANDIN_API void StartSpeexEncoder(void*) {
    StandInState.Log += "Start;";
}
STANDIN_API void SetEncoderChannels(void*, int v) {
    Log("Channels", v);
}
STANDIN_API void SetEncoderRate(void*, int v) {
    Log("Rate", v);
}
STANDIN_API void SetEncoderQuality(void*, int v) {
    Log("Quality", v);
}
STANDIN_API void SetEncoderComplexity(void*, int v) {
    Log("Complexity", v);
}
STANDIN_API int GetEncoderFrameSize(void*) {
    StandInState.Log += "FrameSize;";
    return StandInState.FrameSize;
}
STANDIN_API int SpeexMyEncode16(void*, const short* in, int inBytes, unsigned char*) {
    bool silent = true;
    for (int i = 0; i < inBytes / 2; ++i)
        silent = silent && in[i] == 0;
    StandInState.Log += "Encode(" + std::to_string(inBytes) + (silent ? ",silent);" : ",sound);");
    return StandInState.EncodeResult;
}
STANDIN_API void DoneSpeexEncoder(void** handle) {
    StandInState.Log += *handle == &Token ? "Done(handle);"
                        : *handle         ? "Done(other);"
                                          : "Done(null);";
    *handle = nullptr;
}
STANDIN_API int IsInitialized() {
    return StandInState.Initialized;
}
STANDIN_API void DeinitDll() {
    StandInState.Log += "Deinit;";
}
