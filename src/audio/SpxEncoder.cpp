#include "audio/SpxEncoder.h"

#include "audio/SndKitLibrary.h"
#include "shell/Trace.h"

#include <algorithm>
#include <vector>

namespace vsr {

namespace {

constexpr const char* sCannotInitEncoder = "Cannot initialize speex encoder";

} // namespace

TSpxEncoder::THandle::~THandle() {
    try {
        DoneSpeexEncoder(&Value);
    } catch (const Exception& e) {
        // Only when the library itself is missing; nothing was created then.
        try {
            Trace(e.Message());
        } catch (const Exception&) {
        }
    }
}

TSpxEncoder::TSpxEncoder(int channels, int rate, int quality, int complexity) {
    if (InitSpeexEncoder(1, &FHandle.Value) != 0)
        throw ESpxEncoder(sCannotInitEncoder);
    StartSpeexEncoder(FHandle.Value);
    SetEncoderChannels(FHandle.Value, channels);
    SetEncoderRate(FHandle.Value, rate);
    SetEncoderQuality(FHandle.Value, quality);
    SetEncoderComplexity(FHandle.Value, complexity);
    FFrameBytes = GetEncoderFrameSize(FHandle.Value) * 2;
    // Block sizes of the SPX stream are multiples of these; zero would divide by zero there.
    if (FFrameBytes <= 0)
        throw ESpxEncoder(sCannotInitEncoder);

    // One frame of digital silence.
    const std::vector<short> samples(static_cast<std::size_t>(FFrameBytes) / 2, 0);
    // Room for one record even if the library reports a tiny frame: the length byte and at
    // most 2000 coded bytes.
    std::vector<unsigned char> output(static_cast<std::size_t>(std::max(FFrameBytes, 2001)));
    FEncodedFrameBytes = SpeexMyEncode16(FHandle.Value, samples.data(), FFrameBytes, output.data());
    if (FEncodedFrameBytes <= 0)
        throw ESpxEncoder(sCannotInitEncoder);
}

} // namespace vsr
