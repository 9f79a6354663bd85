#pragma once
// TSpxEncoder: measures, through the sound library's encoder, how many bytes one frame of
// samples takes and how many bytes one coded frame record takes at given settings. The
// narrowband coder runs at a constant bit rate, so one measurement holds for every frame
// coded with the same settings. Calls the library (SndKitLibrary.h); EDllError from the
// binding passes through.

#include "shell/Exception.h"

namespace vsr {

class ESpxEncoder : public Exception {
public:
    using Exception::Exception;
};

class TSpxEncoder {
public:
    // Raises ESpxEncoder "Cannot initialize speex encoder" when the library refuses the
    // encoder or measures an empty frame; the encoder is released again in every case.
    TSpxEncoder(int channels, int rate, int quality, int complexity);
    TSpxEncoder(const TSpxEncoder&) = delete;
    TSpxEncoder& operator=(const TSpxEncoder&) = delete;

    // Bytes of one frame of 16-bit samples (320 in narrowband).
    int FrameBytes() const { return FFrameBytes; }
    // Bytes of one frame record: the length byte and the coded frame (29 at quality 6).
    int EncodedFrameBytes() const { return FEncodedFrameBytes; }

private:
    // Owns the library's encoder; DoneSpeexEncoder also runs for a handle that stayed null.
    class THandle {
    public:
        THandle() = default;
        ~THandle();
        THandle(const THandle&) = delete;
        THandle& operator=(const THandle&) = delete;
        void* Value = nullptr;
    };

    THandle FHandle;
    int FFrameBytes = 0;
    int FEncodedFrameBytes = 0;
};

} // namespace vsr
