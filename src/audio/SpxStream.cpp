#include "audio/SpxStream.h"

#include "audio/SndKitLibrary.h"
#include "audio/SpxEncoder.h"
#include "shell/Trace.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <limits>

namespace vsr {

namespace {

constexpr std::string_view sInvalidSpxFile = "Invalid SPX file";
constexpr std::string_view sSpxWriteReadonly = "Cannot write to a SPX file opened readonly";
constexpr std::string_view sSpxSetSizeReadonly = "Cannot set size of a SPX file opened readonly";
constexpr char SpxMagic[] = {'S', 'P', 'X', '1', '.', '1'};
constexpr std::int64_t FramesPerBlock = 10;
constexpr std::int64_t TrailerBytes = 8; // the int64 SilenceTableOffset
constexpr std::int64_t CountBytes = 4;
constexpr std::int64_t MaxFrameRecordBytes = 1 + 127; // one signed length byte, then its bytes

[[noreturn]] void Invalid() {
    throw ESpxStream(std::string(sInvalidSpxFile));
}

std::int32_t LoadInt32(const std::byte* bytes) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | std::to_integer<std::uint32_t>(bytes[i]);
    return static_cast<std::int32_t>(value);
}

std::int64_t LoadInt64(const std::byte* bytes) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | std::to_integer<std::uint64_t>(bytes[i]);
    return static_cast<std::int64_t>(value);
}

// Start and Length compare as unsigned 32-bit values: a damaged negative field becomes a
// large one instead of moving positions backwards.
std::int64_t Unsigned(std::int32_t value) {
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(value));
}

std::int64_t SaturatingAdd(std::int64_t a, std::int64_t b) {
    std::int64_t sum = 0;
    if (!__builtin_add_overflow(a, b, &sum))
        return sum;
    return b > 0 ? std::numeric_limits<std::int64_t>::max()
                 : std::numeric_limits<std::int64_t>::min();
}

} // namespace

void TSpxStream::TDecoderRelease::operator()(void* handle) const {
    DoneSpeexDecoder(&handle);
}

TSpxStream::TSpxStream(const std::string& fileName, TFileMode mode, TSpxSilences loadSilences,
                       TSpxWindow window)
    : TFileStream(fileName, mode), FWindow(window) {
    if (FWindow.Length < 0)
        FWindow.Length = std::max<std::int64_t>(TFileStream::Size() - FWindow.Offset, 0);
    FileSeek(0);
    // The magic is optional: without it the four header fields start at offset 0.
    std::byte magic[sizeof(SpxMagic)]{};
    const bool hasMagic = TFileStream::Read(magic) == sizeof(magic) &&
                          std::memcmp(magic, SpxMagic, sizeof(SpxMagic)) == 0;
    if (!hasMagic)
        FileSeek(0);

    ReadHeader();
    FDataStart = TFileStream::Seek(0, TSeekOrigin::Current) - FWindow.Offset;
    FLoadSilences = loadSilences == TSpxSilences::Load && hasMagic;

    const std::int64_t fileSize = FileSize();
    if (FDataStart > fileSize)
        Invalid(); // a header read beyond the window
    if (!hasMagic) {
        FDataEnd = fileSize;
    } else {
        if (FDataStart + CountBytes + TrailerBytes > fileSize)
            Invalid();
        FileSeek(fileSize - TrailerBytes);
        std::byte trailer[TrailerBytes]{};
        if (TFileStream::Read(trailer) != sizeof(trailer))
            Invalid();
        const std::int64_t silenceTableOffset = LoadInt64(trailer);
        if (silenceTableOffset < FDataStart ||
            silenceTableOffset > fileSize - CountBytes - TrailerBytes)
            Invalid();
        FDataEnd = silenceTableOffset;
        FileSeek(FDataEnd);
        if (FLoadSilences) {
            FSilences = std::make_unique<TRecordSilenceList>();
            ReadSilenceTable();
        }
    }

    CreateDecoder();
    MeasureFrames();
    FPcmBuffer.assign(static_cast<std::size_t>(FPcmBlock / 2), 0);
    FCompBuffer.assign(static_cast<std::size_t>(FCompBlock), std::byte{0});

    if ((FDataEnd - FDataStart) % (FCompBlock / FramesPerBlock) != 0)
        Invalid();

    FPosition = 0;
    const std::int64_t compressedLength = FTotalSilence + (FDataEnd - FDataStart);
    if (compressedLength > std::numeric_limits<std::int64_t>::max() / FPcmBlock)
        Invalid(); // a damaged table whose silences cannot be counted in bytes
    FSize = compressedLength * FPcmBlock / FCompBlock;
    FDecodedPos = -1;
    FDuration = FSize / 16000;
    std::vector<TSpxSilence> silences;
    if (FSilences)
        for (std::size_t i = 0; i < FSilences->Count(); ++i)
            silences.push_back((*FSilences)[i]);
    FTimeline = TSpxTimeline(std::move(silences), FDataStart, FDataEnd, FCompBlock, FPcmBlock);
}

TSpxStream::~TSpxStream() = default;

void TSpxStream::ReadHeader() {
    std::int32_t* const fields[] = {&FChannels, &FRate, &FQuality, &FComplexity};
    for (std::int32_t* field : fields) {
        std::byte bytes[4]{};
        if (TFileStream::Read(bytes) != sizeof(bytes))
            Invalid();
        *field = LoadInt32(bytes);
    }
    if (FChannels < 1 || FChannels > 2 || FQuality < 1 || FQuality > 10 || FComplexity < 1 ||
        FComplexity > 10)
        Invalid();
}

void TSpxStream::ReadSilenceTable() {
    FSilences->FreeAll();
    std::byte countBytes[CountBytes]{};
    if (TFileStream::Read(countBytes) != sizeof(countBytes))
        Invalid();
    const std::int64_t count = LoadInt32(countBytes);
    // A damaged count must not reserve more than the file can hold.
    const std::int64_t fitting =
        std::max<std::int64_t>(0, (FileSize() - FDataEnd - CountBytes - TrailerBytes) /
                                      static_cast<std::int64_t>(sizeof(TSpxSilence)));
    FSilences->Reserve(static_cast<std::size_t>(std::clamp<std::int64_t>(count, 0, fitting)));
    for (std::int64_t i = 0; i < count; ++i) {
        // A record reaching into the trailing SilenceTableOffset is as short as a missing one.
        if (i >= fitting)
            Invalid();
        auto silence = std::make_unique<TSpxSilence>();
        std::byte bytes[sizeof(TSpxSilence)]{};
        if (TFileStream::Read(bytes) != sizeof(bytes))
            Invalid();
        silence->Start = LoadInt32(bytes);
        silence->Length = LoadInt32(bytes + 4);
        TraceFmt("Liniste: %d - %d", silence->Start, silence->Length);
        FTotalSilence += Unsigned(silence->Length);
        if (FTotalSilence > std::numeric_limits<std::int64_t>::max() / 4)
            Invalid(); // cannot come from a real recording; keeps the sums from overflowing
        FSilences->Add(std::move(silence));
    }
}

void TSpxStream::CreateDecoder() {
    RouteSndKitMessagesToTrace();
    void* handle = nullptr;
    InitSpeexDecoder(1, &handle);
    FDecoder.reset(handle);
    StartSpeexDecoder(handle);
    SetDecoderChannels(handle, FChannels);
    SetDecoderRate(handle, FRate);
    SetDecoderQuality(handle, FQuality);
    SetDecoderComplexity(handle, FComplexity);
}

void TSpxStream::MeasureFrames() {
    const TSpxEncoder encoder(FChannels, FRate, FQuality, FComplexity);
    const std::int64_t encodedFrameBytes = encoder.EncodedFrameBytes();
    FFrameBytes = encoder.FrameBytes();
    // Sizes the library could not have produced would divide by zero or overrun the buffers.
    if (encodedFrameBytes < 1 || encodedFrameBytes > MaxFrameRecordBytes || FFrameBytes < 2 ||
        FFrameBytes % 2 != 0)
        Invalid();
    FCompBlock = FramesPerBlock * encodedFrameBytes;
    FPcmBlock = FramesPerBlock * FFrameBytes;
}

void TSpxStream::SetSize(std::int64_t) {
    throw ESpxStream(std::string(sSpxSetSizeReadonly));
}

std::size_t TSpxStream::Write(std::span<const std::byte>) {
    throw ESpxStream(std::string(sSpxWriteReadonly));
}

std::size_t TSpxStream::Read(std::span<std::byte> buffer) {
    TReadState state{buffer, static_cast<std::int64_t>(buffer.size()), 0};

    if (Position() != FDecodedPos)
        Resync();

    const std::int64_t end = Available();
    if (FLoadSilences && SilenceCount() > 0) {
        while (state.Remaining > 0 && Position() < end) {
            // A damaged table may put a silence past the end; nothing is delivered beyond Size.
            const std::int64_t position = Position();
            const std::int64_t toEnd = end - position;
            if (FSilenceStart > position) {
                if (!DecodeData(state, std::min(FSilenceStart - position, toEnd)))
                    break;
            } else if (FSilenceStart + FSilenceLength > position) {
                FillSilence(state, std::min(FSilenceStart + FSilenceLength - position, toEnd));
            } else {
                NextSilence();
            }
        }
    } else if (state.Remaining > 0 && Position() < end) {
        DecodeData(state, end - Position());
    }

    FDecodedPos = Position();
    return static_cast<std::size_t>(state.Delivered);
}

void TSpxStream::CopyDecoded(TReadState& state, std::int64_t& limit) {
    const std::int64_t n = std::min({FPcmFill - FPcmPos, state.Remaining, limit});
    if (n <= 0)
        return;
    assert(FPcmPos >= 0 && FPcmPos < FPcmFill);
    assert(state.Delivered < static_cast<std::int64_t>(state.Buffer.size()));
    const auto pcm = std::as_bytes(std::span<const std::int16_t>(FPcmBuffer));
    std::memcpy(state.Buffer.data() + state.Delivered, pcm.data() + FPcmPos,
                static_cast<std::size_t>(n));
    state.Delivered += n;
    FPcmPos += n;
    FPosition.store(Position() + n, std::memory_order_relaxed);
    state.Remaining -= n;
    limit -= n;
    assert(state.Delivered <= static_cast<std::int64_t>(state.Buffer.size()));
}

// Returns false when the file gave nothing more to decode (damaged or shortened input), so
// that the caller ends the Read instead of waiting for progress that cannot come.
bool TSpxStream::DecodeData(TReadState& state, std::int64_t limit) {
    for (;;) {
        CopyDecoded(state, limit);
        if (state.Remaining == 0 || limit <= 0 || Position() >= FSize)
            return true;
        assert(FPcmPos == FPcmFill);
        std::int64_t n =
            std::min(FCompBlock, std::min(FSize - Position(), limit) * FCompBlock / FPcmBlock);
        // The silence table behind the frame data is never decoded as frames.
        n = std::min(n, FDataEnd - FFilePos);
        if (n <= 0)
            return false;
        const std::size_t got =
            TFileStream::Read(std::span(FCompBuffer).first(static_cast<std::size_t>(n)));
        if (got == 0)
            return false;
        FFilePos += static_cast<std::int64_t>(got);
        FPcmFill = DecodeBlock(static_cast<std::int64_t>(got));
        FPcmPos = 0;
        // Limit is not charged for the decoded block here: CopyDecoded charges what it
        // delivers, and charging both would end the Read early (0 bytes for a last block).
    }
}

// The library has no output size: only whole records that fit into PcmBuffer are handed to it,
// whatever their length bytes say.
std::int64_t TSpxStream::DecodeBlock(std::int64_t got) {
    const std::int64_t maxFrames = FPcmBlock / FFrameBytes;
    std::int64_t usable = 0;
    std::int64_t frames = 0;
    while (usable < got && frames < maxFrames) {
        const auto length = static_cast<std::int8_t>(FCompBuffer[static_cast<std::size_t>(usable)]);
        if (length < 0 || usable + 1 + length > got)
            break;
        usable += 1 + length;
        ++frames;
    }
    if (usable == 0)
        return 0;
    const int decoded =
        SpeexMyDecode(FDecoder.get(), reinterpret_cast<const unsigned char*>(FCompBuffer.data()),
                      static_cast<int>(usable), FPcmBuffer.data());
    return std::clamp<std::int64_t>(decoded, 0, frames * FFrameBytes);
}

void TSpxStream::FillSilence(TReadState& state, std::int64_t limit) {
    const std::int64_t n = std::min(state.Remaining, limit);
    assert(state.Delivered < static_cast<std::int64_t>(state.Buffer.size()));
    std::memset(state.Buffer.data() + state.Delivered, 0, static_cast<std::size_t>(n));
    state.Delivered += n;
    FPosition.store(Position() + n, std::memory_order_relaxed);
    state.Remaining -= n;
    assert(state.Delivered <= static_cast<std::int64_t>(state.Buffer.size()));
}

void TSpxStream::NextSilence() {
    ++FSilenceIndex;
    if (FSilenceIndex < SilenceCount()) {
        FSilenceStart = SilenceStartOf(FSilenceIndex) * FPcmBlock / FCompBlock + FSilenceBefore;
        FSilenceLength = SilenceLengthOf(FSilenceIndex) * FPcmBlock / FCompBlock;
        FSilenceBefore += FSilenceLength;
    } else {
        FSilenceStart = FSize;
        FSilenceLength = 0;
    }
}

void TSpxStream::Resync() {
    FPcmFill = 0;
    FPcmPos = 0;
    const std::int64_t position = Position();
    if (!FLoadSilences) {
        SeekFile(FDataStart + position * FCompBlock / FPcmBlock);
        FSilenceStart = FSize;
        FSilenceLength = 0;
    } else {
        const std::int64_t compPos = position * FCompBlock / FPcmBlock;
        const auto [index, cum] = FTimeline.FindSilence(compPos);
        FSilenceIndex = index;
        if (index >= SilenceCount()) {
            SeekFile(FDataStart + compPos - cum);
            FSilenceStart = FSize;
            FSilenceLength = 0;
        } else {
            if (compPos < SilenceStartOf(index) + cum)
                SeekFile(FDataStart + compPos - cum);
            else
                SeekFile(FDataStart + SilenceStartOf(index));
            FSilenceStart = (SilenceStartOf(index) + cum) * FPcmBlock / FCompBlock;
            FSilenceLength = SilenceLengthOf(index) * FPcmBlock / FCompBlock;
        }
        FSilenceBefore = cum * FPcmBlock / FCompBlock + FSilenceLength;
    }
    FDecodedPos = position;
}

std::int64_t TSpxStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t position = offset;
    if (origin == TSeekOrigin::Current)
        position = SaturatingAdd(Position(), offset);
    else if (origin == TSeekOrigin::End)
        position = SaturatingAdd(FSize, offset);
    position -= position % FPcmBlock; // the remainder has the sign of position
    position = std::clamp<std::int64_t>(position, 0, FSize);
    FPosition.store(position, std::memory_order_relaxed);
    return position;
}

void TSpxStream::SetPlayPosition(std::int64_t position) {
    Seek(position, TSeekOrigin::Begin);
}

std::int64_t TSpxStream::SeekFrame(std::int64_t position) {
    position = std::clamp<std::int64_t>(position, 0, FSize);
    if (FFrameBytes > 0)
        position -= position % FFrameBytes;
    std::vector<std::byte> skipped(
        static_cast<std::size_t>(position - Seek(position, TSeekOrigin::Begin)));
    Read(skipped);
    return Position();
}

std::int64_t TSpxStream::SilenceStartOf(std::int64_t index) const {
    return Unsigned((*FSilences)[static_cast<std::size_t>(index)].Start);
}

std::int64_t TSpxStream::SilenceLengthOf(std::int64_t index) const {
    return Unsigned((*FSilences)[static_cast<std::size_t>(index)].Length);
}

std::int64_t TSpxStream::SilenceCount() const {
    return FSilences ? static_cast<std::int64_t>(FSilences->Count()) : 0;
}

// A damaged table can point behind the frame data; reading then finds nothing there.
void TSpxStream::SeekFile(std::int64_t filePos) {
    FFilePos = std::clamp(filePos, FDataStart, FDataEnd);
    FileSeek(FFilePos);
}

std::int64_t TSpxStream::FileSeek(std::int64_t position) {
    return TFileStream::Seek(FWindow.Offset + position, TSeekOrigin::Begin) - FWindow.Offset;
}

std::int64_t TSpxStream::FileSize() {
    return FWindow.Length;
}

std::int64_t TSpxStream::Available() const {
    if (!FArrived)
        return FSize;
    return std::min(FSize, FTimeline.DecodedEnd(FArrived()));
}

} // namespace vsr
