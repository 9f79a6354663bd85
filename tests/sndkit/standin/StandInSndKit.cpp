// A stand-in sound library for tests: its encoder entries answer what the test sets, it logs
// the order of the calls, and it exports only a few entries.

#include <string>

#define STANDIN_API extern "C" __attribute__((visibility("default")))

namespace {
int InitResult = 5;
int FrameSize = 160;
int EncodeResult = 29;
int EncodeInBytes = -1;
bool EncodeInWasSilence = false;
int Token = 0;
std::string CallLog;
int DoneCalls = 0;
int DoneCallsWithNullHandle = 0;
int DeinitCalls = 0;
int InitializedResult = 0;

void Log(const std::string& call) {
    CallLog += call + ";";
}
} // namespace

STANDIN_API int InitSpeexEncoder(int mode, void** handle) {
    Log("Init(" + std::to_string(mode) + ")");
    *handle = InitResult == 0 ? &Token : nullptr;
    return InitResult;
}
STANDIN_API void StartSpeexEncoder(void*) {
    Log("Start");
}
STANDIN_API void SetEncoderChannels(void*, int v) {
    Log("Channels(" + std::to_string(v) + ")");
}
STANDIN_API void SetEncoderRate(void*, int v) {
    Log("Rate(" + std::to_string(v) + ")");
}
STANDIN_API void SetEncoderQuality(void*, int v) {
    Log("Quality(" + std::to_string(v) + ")");
}
STANDIN_API void SetEncoderComplexity(void*, int v) {
    Log("Complexity(" + std::to_string(v) + ")");
}
STANDIN_API int GetEncoderFrameSize(void*) {
    Log("FrameSize");
    return FrameSize;
}
STANDIN_API int SpeexMyEncode16(void*, const short* in, int inBytes, unsigned char*) {
    Log("Encode");
    EncodeInBytes = inBytes;
    EncodeInWasSilence = true;
    for (int i = 0; i < inBytes / 2; ++i)
        EncodeInWasSilence = EncodeInWasSilence && in[i] == 0;
    return EncodeResult;
}
STANDIN_API void DoneSpeexEncoder(void** handle) {
    Log(*handle == &Token ? "Done(handle)" : "Done(other)");
    ++DoneCalls;
    if (!*handle)
        ++DoneCallsWithNullHandle;
    *handle = nullptr;
}
STANDIN_API int IsInitialized() {
    return InitializedResult;
}
STANDIN_API void DeinitDll() {
    ++DeinitCalls;
}

// Test controls.
STANDIN_API void StandInSet(int initResult, int frameSize, int encodeResult, int initialized) {
    InitResult = initResult;
    FrameSize = frameSize;
    EncodeResult = encodeResult;
    InitializedResult = initialized;
    CallLog.clear();
    DoneCalls = DoneCallsWithNullHandle = DeinitCalls = 0;
    EncodeInBytes = -1;
}
STANDIN_API const char* StandInCallLog() {
    return CallLog.c_str();
}
STANDIN_API int StandInDoneCalls() {
    return DoneCalls;
}
STANDIN_API int StandInDoneCallsWithNullHandle() {
    return DoneCallsWithNullHandle;
}
STANDIN_API int StandInDeinitCalls() {
    return DeinitCalls;
}
STANDIN_API int StandInEncodeInBytes() {
    return EncodeInBytes;
}
STANDIN_API int StandInEncodeInWasSilence() {
    return EncodeInWasSilence ? 1 : 0;
}
