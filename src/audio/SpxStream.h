#pragma once
// TSpxStream: an SPX voice track opened as a read-only, seekable stream of decoded 16-bit
// PCM (8000 Hz mono), with every left-out silence put back as zero samples.
//
// The stream reads its file through the inherited file layer and decodes ten frames (one
// block) at a time through the sound library. Position may be read from another thread; all
// other calls come from one thread.

#include "audio/SpxSilence.h"
#include "audio/SpxTimeline.h"
#include "platform/Stream.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vsr {

class ESpxStream : public Exception {
public:
    using Exception::Exception;
};

enum class TSpxSilences { Ignore, Load };

// The stream's bytes within a larger file, such as a recording being downloaded; a Length
// below 0 runs to the end of the file.
struct TSpxWindow {
    std::int64_t Offset = 0;
    std::int64_t Length = -1;
};

class TSpxStream : public TFileStream {
public:
    // Raises ESpxStream "Invalid SPX file" when the stream is malformed; file errors and
    // encoder errors pass through.
    TSpxStream(const std::string& fileName, TFileMode mode, TSpxSilences loadSilences,
               TSpxWindow window = {});
    ~TSpxStream() override;

    std::int64_t Size() override { return FSize; }
    void SetSize(std::int64_t newSize) override;
    std::size_t Read(std::span<std::byte> buffer) override;
    std::size_t Write(std::span<const std::byte> buffer) override;
    // Rounds to a whole block towards zero, then clamps to [0, Size].
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    void SetPlayPosition(std::int64_t position);
    // Positions at position rounded down to a whole Speex frame, where Seek keeps to whole
    // blocks: the block is decoded up to the frame. The position reached.
    std::int64_t SeekFrame(std::int64_t position);

    // For a file still being written: arrived gives the end (counted from the stream's first
    // byte) of the bytes there so far, and Read delivers nothing beyond what they decode to.
    // The header and the silence table must be there before the stream is created.
    void SetArrived(std::function<std::int64_t()> arrived) { FArrived = std::move(arrived); }
    // The decoded position Read can reach now: Size once everything is there.
    std::int64_t Available() const;
    const TSpxTimeline& Timeline() const { return FTimeline; }

    // Decoded position; reading it does not move the stream, and any thread may read it.
    std::int64_t Position() const { return FPosition.load(std::memory_order_relaxed); }
    std::int64_t Duration() const { return FDuration; } // whole seconds
    // The silence records in file order, or nullptr when silences are not applied.
    const TRecordSilenceList* Silences() const { return FSilences.get(); }
    std::int64_t TotalSilence() const { return FTotalSilence; }
    std::int64_t PcmBlock() const { return FPcmBlock; }
    std::int64_t CompBlock() const { return FCompBlock; }
    std::int64_t DataStart() const { return FDataStart; }
    std::int64_t DataEnd() const { return FDataEnd; }
    bool LoadSilences() const { return FLoadSilences; }
    std::int32_t Channels() const { return FChannels; }
    std::int32_t Rate() const { return FRate; }
    std::int32_t Quality() const { return FQuality; }
    std::int32_t Complexity() const { return FComplexity; }

private:
    struct TDecoderRelease {
        void operator()(void* handle) const;
    };
    // The caller's buffer and how much of it one Read has filled.
    struct TReadState {
        std::span<std::byte> Buffer;
        std::int64_t Remaining = 0;
        std::int64_t Delivered = 0;
    };

    void ReadHeader();
    void ReadSilenceTable();
    void CreateDecoder();
    void MeasureFrames();

    void CopyDecoded(TReadState& state, std::int64_t& limit);
    bool DecodeData(TReadState& state, std::int64_t limit);
    void FillSilence(TReadState& state, std::int64_t limit);
    void NextSilence();
    void Resync();
    std::int64_t DecodeBlock(std::int64_t got);
    std::int64_t SilenceStartOf(std::int64_t index) const;
    std::int64_t SilenceLengthOf(std::int64_t index) const;
    std::int64_t SilenceCount() const;
    void SeekFile(std::int64_t filePos);
    // The file layer within the window.
    std::int64_t FileSeek(std::int64_t position);
    std::int64_t FileSize();

    std::int32_t FChannels = 0;
    std::int32_t FRate = 0;
    std::int32_t FQuality = 0;
    std::int32_t FComplexity = 0;
    std::int64_t FDataStart = 0;
    std::int64_t FDataEnd = 0;
    bool FLoadSilences = false;
    std::unique_ptr<void, TDecoderRelease> FDecoder;
    std::vector<std::byte> FCompBuffer;
    std::vector<std::int16_t> FPcmBuffer;
    std::int64_t FPcmFill = 0;
    std::int64_t FPcmPos = 0;
    std::int64_t FSize = 0;
    std::atomic<std::int64_t> FPosition{0};
    std::int64_t FCompBlock = 0;
    std::int64_t FPcmBlock = 0;
    std::int64_t FFrameBytes = 0;
    std::int64_t FDecodedPos = -1;
    std::int64_t FFilePos = 0; // where the next compressed byte comes from
    std::int64_t FDuration = 0;
    std::unique_ptr<TRecordSilenceList> FSilences;
    std::int64_t FTotalSilence = 0;
    std::int64_t FSilenceStart = 0;
    std::int64_t FSilenceLength = 0;
    std::int64_t FSilenceIndex = 0;
    std::int64_t FSilenceBefore = 0;
    TSpxWindow FWindow;
    std::function<std::int64_t()> FArrived;
    TSpxTimeline FTimeline;
};

} // namespace vsr
