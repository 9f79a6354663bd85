#pragma once
// The sound library and its entries. SndKitLibrary() is the TDll of the codec library with
// the library's full 60-entry table (repeated names are separate entries). The entries the
// program calls are typed objects below, named and called like the library's C routines,
// e.g. vsr::InitSpeexDecoder(1, &handle). The first call loads the file named by
// SndKitLibrary().FileName(), which must be set to the library's path before that call.
//
// Program end: the programs call FinishSndKitLibrary() once, after the last codec is
// released, so the library frees what it still holds while every object is alive. (A static
// destructor would run after the library's own statics were gone.) The TDll itself is a
// function-local static: it unloads the module when the process ends.

#include "audio/Dll.h"
#include "audio/DllProc.h"

#include <array>
#include <stdexcept>
#include <string_view>

namespace vsr {

inline constexpr std::array<const char*, 60> SndKitEntryNames = {"SetDebugHook",
                                                                 "InitPlay",
                                                                 "ConfigurePlay",
                                                                 "ConfigureExPlay",
                                                                 "StartPlay",
                                                                 "StopPlay",
                                                                 "PausePlay",
                                                                 "ContinuePlay",
                                                                 "PausePlay",
                                                                 "ContinuePlay",
                                                                 "JumpPlay",
                                                                 "InitRecord",
                                                                 "SetInputDevice",
                                                                 "StartRecord",
                                                                 "PauseRecord",
                                                                 "ContinueRecord",
                                                                 "StopRecord",
                                                                 "SaveRecord",
                                                                 "ConfigureExRecord",
                                                                 "IsInitialized",
                                                                 "GetDllVersion",
                                                                 "DeinitDll",
                                                                 "InitSpeexDecoder",
                                                                 "DoneSpeexDecoder",
                                                                 "SetDecoderMode",
                                                                 "SetDecoderChannels",
                                                                 "SetDecoderRate",
                                                                 "SetDecoderComplexity",
                                                                 "SetDecoderQuality",
                                                                 "SpeexDecodeBuffer",
                                                                 "SpeexDecode",
                                                                 "GetDecodedData",
                                                                 "SpeexDecodeFile",
                                                                 "StartSpeexDecoder",
                                                                 "CloseSpeexDecoder",
                                                                 "SpeexMyDecode",
                                                                 "SpeexMyDecodeNoSize",
                                                                 "InitSpeexEncoder",
                                                                 "DoneSpeexEncoder",
                                                                 "GetEncoderFrameSize",
                                                                 "SetEncoderMode",
                                                                 "SetEncoderChannels",
                                                                 "SetEncoderRate",
                                                                 "SetEncoderBitRate",
                                                                 "SetEncoderComplexity",
                                                                 "SetEncoderQuality",
                                                                 "SpeexEncodeBuffer",
                                                                 "SpeexEncode",
                                                                 "SpeexEncodeBytes",
                                                                 "GetEncodedData",
                                                                 "SpeexEncodeFile",
                                                                 "StartSpeexEncoder",
                                                                 "SpeexMyEncode16",
                                                                 "SpeexMyEncode",
                                                                 "SpeexMyEncodeNoSize",
                                                                 "CloseSpeexEncoder",
                                                                 "InitLPCDecoder",
                                                                 "CloseLPCDecoder",
                                                                 "CloseLPCEncoder",
                                                                 "ContinueRecord"};

// Index of the first entry with this name; a name outside the table does not compile.
consteval int SndKitEntryIndex(std::string_view name) {
    for (std::size_t i = 0; i < SndKitEntryNames.size(); ++i)
        if (name == SndKitEntryNames[i])
            return static_cast<int>(i);
    throw std::logic_error("not an entry of the sound library");
}

// Made at first use with the name "SndKit.dll"; nothing is loaded until an entry is called.
TDll& SndKitLibrary();

// If the library can be loaded and IsInitialized reports true, DeinitDll. A library that
// cannot be loaded (an empty FileName included) is not called at all. Lookup failures are
// written to the trace, not raised, since the program is ending.
void FinishSndKitLibrary();

// Routes the library's own messages (damaged frames it played as silence) to the trace. A
// library without the hook, or one that cannot be loaded, is left as it is: the next codec call
// reports the loading error.
void RouteSndKitMessagesToTrace();

// Opaque codec handle of the library.
using TSndKitHandle = void*;

template <typename F> using TSndKitProc = TDllProc<F>;

// Result: 0 = success. Mode 1 = narrowband.
inline constexpr TSndKitProc<void(void (*)(const char*))> SetDebugHook{
    SndKitLibrary, SndKitEntryIndex("SetDebugHook")};
inline constexpr TSndKitProc<int(int, void**)> InitSpeexDecoder{
    SndKitLibrary, SndKitEntryIndex("InitSpeexDecoder")};
inline constexpr TSndKitProc<void(void*)> StartSpeexDecoder{SndKitLibrary,
                                                            SndKitEntryIndex("StartSpeexDecoder")};
inline constexpr TSndKitProc<void(void*, int)> SetDecoderChannels{
    SndKitLibrary, SndKitEntryIndex("SetDecoderChannels")};
inline constexpr TSndKitProc<void(void*, int)> SetDecoderRate{SndKitLibrary,
                                                              SndKitEntryIndex("SetDecoderRate")};
inline constexpr TSndKitProc<void(void*, int)> SetDecoderQuality{
    SndKitLibrary, SndKitEntryIndex("SetDecoderQuality")};
inline constexpr TSndKitProc<void(void*, int)> SetDecoderComplexity{
    SndKitLibrary, SndKitEntryIndex("SetDecoderComplexity")};
// Out must hold 320 bytes for every frame record in In. Result: bytes written to Out.
inline constexpr TSndKitProc<int(void*, const unsigned char*, int, short*)> SpeexMyDecode{
    SndKitLibrary, SndKitEntryIndex("SpeexMyDecode")};
// Accepts a null handle; sets *handle to null.
inline constexpr TSndKitProc<void(void**)> DoneSpeexDecoder{SndKitLibrary,
                                                            SndKitEntryIndex("DoneSpeexDecoder")};
inline constexpr TSndKitProc<int(int, void**)> InitSpeexEncoder{
    SndKitLibrary, SndKitEntryIndex("InitSpeexEncoder")};
inline constexpr TSndKitProc<void(void*)> StartSpeexEncoder{SndKitLibrary,
                                                            SndKitEntryIndex("StartSpeexEncoder")};
inline constexpr TSndKitProc<void(void*, int)> SetEncoderChannels{
    SndKitLibrary, SndKitEntryIndex("SetEncoderChannels")};
inline constexpr TSndKitProc<void(void*, int)> SetEncoderRate{SndKitLibrary,
                                                              SndKitEntryIndex("SetEncoderRate")};
inline constexpr TSndKitProc<void(void*, int)> SetEncoderQuality{
    SndKitLibrary, SndKitEntryIndex("SetEncoderQuality")};
inline constexpr TSndKitProc<void(void*, int)> SetEncoderComplexity{
    SndKitLibrary, SndKitEntryIndex("SetEncoderComplexity")};
// Samples per frame (160).
inline constexpr TSndKitProc<int(void*)> GetEncoderFrameSize{
    SndKitLibrary, SndKitEntryIndex("GetEncoderFrameSize")};
// Codes inBytes / 2 / frame size whole frames as frame records. Result: bytes written.
inline constexpr TSndKitProc<int(void*, const short*, int, unsigned char*)> SpeexMyEncode16{
    SndKitLibrary, SndKitEntryIndex("SpeexMyEncode16")};
inline constexpr TSndKitProc<void(void**)> DoneSpeexEncoder{SndKitLibrary,
                                                            SndKitEntryIndex("DoneSpeexEncoder")};
// True in the low byte from the first Init until DeinitDll.
inline constexpr TSndKitProc<int()> IsInitialized{SndKitLibrary, SndKitEntryIndex("IsInitialized")};
inline constexpr TSndKitProc<void()> DeinitDll{SndKitLibrary, SndKitEntryIndex("DeinitDll")};

} // namespace vsr
