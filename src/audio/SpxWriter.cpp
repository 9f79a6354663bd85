#include "audio/SpxWriter.h"

#include "audio/SndKitLibrary.h"
#include "audio/SpxEncoder.h"

#include <cstdlib>
#include <limits>

namespace vsr {

namespace {

constexpr char SpxMagic[] = {'S', 'P', 'X', '1', '.', '1'};
constexpr std::size_t MaxRecordBytes = 2048; // the library writes at most 2000 bytes and L

void PutInt32(std::vector<std::byte>& out, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::byte>((bits >> (8 * i)) & 0xFF));
}

void PutInt64(std::vector<std::byte>& out, std::int64_t value) {
    const auto bits = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::byte>((bits >> (8 * i)) & 0xFF));
}

bool InRange(std::int32_t value, std::int32_t low, std::int32_t high) {
    return value >= low && value <= high;
}

} // namespace

void TSpxWriter::TEncoderRelease::operator()(void* handle) const {
    DoneSpeexEncoder(&handle);
}

TSpxWriter::TSpxWriter(const TSpxWriterSettings& settings) : FSettings(settings) {
    if (!InRange(settings.Quality, 1, 10) || !InRange(settings.Complexity, 1, 10))
        throw ESpxWriter("SPX quality and complexity must lie between 1 and 10");
    if (settings.MinSilenceFrames < 1 || settings.SilenceThreshold < 0)
        throw ESpxWriter("Invalid silence settings for the SPX writer");

    // The reader derives the record size the same way, so both sides agree on it.
    {
        const TSpxEncoder measure(Channels, Rate, settings.Quality, settings.Complexity);
        FEncodedFrameBytes = measure.EncodedFrameBytes();
    }

    void* handle = nullptr;
    if (InitSpeexEncoder(1, &handle) != 0) {
        DoneSpeexEncoder(&handle);
        throw ESpxWriter("Cannot initialize speex encoder");
    }
    FEncoder.reset(handle);
    StartSpeexEncoder(handle);
    SetEncoderChannels(handle, Channels);
    SetEncoderRate(handle, Rate);
    SetEncoderQuality(handle, settings.Quality);
    SetEncoderComplexity(handle, settings.Complexity);
    FFrameSamples = GetEncoderFrameSize(handle);
    if (FFrameSamples < 1 || FEncodedFrameBytes < 2)
        throw ESpxWriter("The sound library reported an unusable Speex frame size");

    FFrame.reserve(static_cast<std::size_t>(FFrameSamples));
    FRecord.resize(MaxRecordBytes);
}

TSpxWriter::~TSpxWriter() = default;

void TSpxWriter::CheckOpen() const {
    if (FFinished)
        throw ESpxWriter("The SPX stream is already finished");
}

void TSpxWriter::Write(std::span<const std::int16_t> samples) {
    CheckOpen();
    for (const std::int16_t sample : samples)
        AddSample(sample);
}

void TSpxWriter::WritePcm(std::span<const std::byte> pcm) {
    CheckOpen();
    for (const std::byte value : pcm) {
        if (!FOddByte) {
            FOddByte = value;
            continue;
        }
        const auto bits = static_cast<std::uint16_t>(std::to_integer<unsigned>(*FOddByte) |
                                                     (std::to_integer<unsigned>(value) << 8));
        FOddByte.reset();
        AddSample(static_cast<std::int16_t>(bits));
    }
}

void TSpxWriter::AddSample(std::int16_t sample) {
    FFrame.push_back(sample);
    if (FFrame.size() == static_cast<std::size_t>(FFrameSamples))
        FrameComplete();
}

void TSpxWriter::FrameComplete() {
    if (FSettings.Silences == TSpxSilenceHandling::LeaveOut && IsSilent(FFrame)) {
        ++FSilentRun;
        if (FSilentRun < FSettings.MinSilenceFrames)
            FPending.insert(FPending.end(), FFrame.begin(), FFrame.end());
        else
            FPending.clear(); // long enough: these frames are left out
    } else {
        EndSilentRun();
        EncodeFrame(FFrame);
    }
    FFrame.clear();
}

bool TSpxWriter::IsSilent(std::span<const std::int16_t> frame) const {
    for (const std::int16_t sample : frame) {
        if (std::abs(static_cast<int>(sample)) > FSettings.SilenceThreshold)
            return false;
    }
    return true;
}

void TSpxWriter::EndSilentRun() {
    if (FSilentRun >= FSettings.MinSilenceFrames) {
        const std::int64_t length = FSilentRun * FEncodedFrameBytes;
        const std::int64_t start = FrameDataBytes();
        if (length > std::numeric_limits<std::int32_t>::max() ||
            start > std::numeric_limits<std::int32_t>::max())
            throw ESpxWriter("The voice track is too long for an SPX stream");
        FSilences.push_back(
            TSpxSilence{static_cast<std::int32_t>(start), static_cast<std::int32_t>(length)});
    } else {
        const auto samples = static_cast<std::size_t>(FFrameSamples);
        for (std::size_t offset = 0; offset < FPending.size(); offset += samples)
            EncodeFrame(std::span(FPending).subspan(offset, samples));
    }
    FPending.clear();
    FSilentRun = 0;
}

void TSpxWriter::EncodeFrame(std::span<const std::int16_t> frame) {
    const int written =
        SpeexMyEncode16(FEncoder.get(), frame.data(), static_cast<int>(frame.size_bytes()),
                        reinterpret_cast<unsigned char*>(FRecord.data()));
    // The reader places frames by a fixed record size; a record of another size would shift
    // every frame and silence after it.
    if (written != FEncodedFrameBytes)
        throw ESpxWriter("The Speex coder produced a frame record of unexpected size");
    FFrameData.insert(FFrameData.end(), FRecord.begin(), FRecord.begin() + written);
}

std::vector<std::byte> TSpxWriter::Finish() {
    CheckOpen();
    if (!FFrame.empty()) {
        FFrame.resize(static_cast<std::size_t>(FFrameSamples), 0);
        FrameComplete();
    }
    EndSilentRun();
    FFinished = true;

    std::vector<std::byte> out;
    out.reserve(22 + FFrameData.size() + 4 + FSilences.size() * sizeof(TSpxSilence) + 8);
    for (const char c : SpxMagic)
        out.push_back(static_cast<std::byte>(c));
    PutInt32(out, Channels);
    PutInt32(out, Rate);
    PutInt32(out, FSettings.Quality);
    PutInt32(out, FSettings.Complexity);
    out.insert(out.end(), FFrameData.begin(), FFrameData.end());
    const auto silenceTableOffset = static_cast<std::int64_t>(out.size());
    PutInt32(out, static_cast<std::int32_t>(FSilences.size()));
    for (const TSpxSilence& silence : FSilences) {
        PutInt32(out, silence.Start);
        PutInt32(out, silence.Length);
    }
    PutInt64(out, silenceTableOffset);
    return out;
}

void TSpxWriter::Finish(TStream& target) {
    target.WriteBuffer(Finish());
}

std::vector<std::byte> TSpxWriter::Encode(std::span<const std::int16_t> samples,
                                          const TSpxWriterSettings& settings) {
    TSpxWriter writer(settings);
    writer.Write(samples);
    return writer.Finish();
}

} // namespace vsr
