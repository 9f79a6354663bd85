// A stand-in sound library: its entries answer what the test set with StandInSet and log
// their calls ("Init(1);Start;...;Encode(320,silent);Done(handle);") for StandInLog.

#include <algorithm>
#include <array>
#include <string>

namespace {
// Init's result, frame size, encoded bytes, IsInitialized.
std::array<int, 4> Answers = {5, 160, 29, 0};
std::string CallLog;
int Token = 0; // the handle of the one encoder
std::string Text(const std::string& name, int value) {
    return name + "(" + std::to_string(value) + ");";
}
} // namespace

// An exported entry that appends call to the log and returns answer.
#define STANDIN(signature, call, answer)                                                           \
    extern "C" __attribute__((visibility("default"))) signature {                                  \
        CallLog += call;                                                                           \
        return answer;                                                                             \
    }

STANDIN(void StandInSet(int init, int frameSize, int encoded, int initialized), "",
        void((Answers = {init, frameSize, encoded, initialized}, CallLog.clear())))
STANDIN(const char* StandInLog(), "", CallLog.c_str())
STANDIN(int InitSpeexEncoder(int mode, void** handle), Text("Init", mode),
        (*handle = Answers[0] == 0 ? &Token : nullptr, Answers[0]))
STANDIN(void StartSpeexEncoder(void*), "Start;", void())
STANDIN(void SetEncoderChannels(void*, int value), Text("Channels", value), void())
STANDIN(void SetEncoderRate(void*, int value), Text("Rate", value), void())
STANDIN(void SetEncoderQuality(void*, int value), Text("Quality", value), void())
STANDIN(void SetEncoderComplexity(void*, int value), Text("Complexity", value), void())
STANDIN(int GetEncoderFrameSize(void*), "FrameSize;", Answers[1])
STANDIN(int SpeexMyEncode16(void*, const short* in, int bytes, unsigned char*),
        Text("Encode", bytes)
            .insert(7, std::all_of(in, in + bytes / 2, [](short s) { return !s; }) ? "silent,"
                                                                                   : "sound,"),
        Answers[2])
STANDIN(void DoneSpeexEncoder(void** handle), *handle ? "Done(handle);" : "Done(null);",
        void(*handle = nullptr))
STANDIN(int IsInitialized(), "", Answers[3])
STANDIN(void DeinitDll(), "Deinit;", void())
