#pragma once
// The sound library's C entry points (libsndkit.so). A handle is an opaque pointer made by an
// Init entry and released by the matching Done entry. Every entry accepts a null or unknown
// handle and then does nothing (results 0). Frame record: one length byte L (signed), then L
// bytes of one Speex narrowband frame.

#define SNDKIT_API __attribute__((visibility("default")))

#ifdef __cplusplus
extern "C" {
#endif

// The library's messages (damaged frames it played as silence) go to hook; null: nowhere.
SNDKIT_API void SetDebugHook(void (*hook)(const char* text));
SNDKIT_API int InitSpeexDecoder(int mode, void** handle);
SNDKIT_API void StartSpeexDecoder(void* handle);
SNDKIT_API void SetDecoderChannels(void* handle, int channels);
SNDKIT_API void SetDecoderRate(void* handle, int rate);
SNDKIT_API void SetDecoderQuality(void* handle, int quality);
SNDKIT_API void SetDecoderComplexity(void* handle, int complexity);
// Out must hold 160 samples for every record in In. Result: bytes written to Out.
SNDKIT_API int SpeexMyDecode(void* handle, const unsigned char* in, int inLength, short* out);
SNDKIT_API void DoneSpeexDecoder(void** handle);
SNDKIT_API int InitSpeexEncoder(int mode, void** handle);
SNDKIT_API void StartSpeexEncoder(void* handle);
SNDKIT_API void SetEncoderChannels(void* handle, int channels);
SNDKIT_API void SetEncoderRate(void* handle, int rate);
SNDKIT_API void SetEncoderQuality(void* handle, int quality);
SNDKIT_API void SetEncoderComplexity(void* handle, int complexity);
SNDKIT_API int GetEncoderFrameSize(void* handle);
// Out must hold 1 + 62 bytes for every whole frame in In. Result: bytes written to Out.
SNDKIT_API int SpeexMyEncode16(void* handle, const short* in, int inBytes, unsigned char* out);
SNDKIT_API void DoneSpeexEncoder(void** handle);
SNDKIT_API int IsInitialized(void);
SNDKIT_API void DeinitDll(void);

#ifdef __cplusplus
}
#endif
