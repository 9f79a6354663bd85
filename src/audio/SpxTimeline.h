#pragma once
// TSpxTimeline: where a decoded position of an SPX stream lies in its frame data, and how far
// the stream can be decoded from the frame data a file holds so far. A copy of the silence
// table and the block sizes, so that a downloader can ask it on its own thread.

#include "audio/SpxSilence.h"

#include <cstdint>
#include <vector>

namespace vsr {

class TSpxTimeline {
public:
    struct TFoundSilence {
        std::int64_t Index;
        std::int64_t Cum; // Length of the records before Index
    };

    TSpxTimeline() = default;
    // frameRecordBytes: one frame record; the blocks hold ten of them.
    TSpxTimeline(std::vector<TSpxSilence> silences, std::int64_t dataStart, std::int64_t dataEnd,
                 std::int64_t compBlock, std::int64_t pcmBlock);

    // The silence that contains compPos (a place in compressed units, silences included) or is
    // the next one after it. A compPos at a silence's start counts as inside it.
    TFoundSilence FindSilence(std::int64_t compPos) const;
    // The file position up to which the frame data must be there to decode up to position,
    // a whole block beyond it so that decoding goes on in whole blocks.
    std::int64_t DataNeededFor(std::int64_t position) const;
    // The decoded position that can be reached when the frame data is there up to filePos;
    // a silence placed at that very record needs no data and is included.
    std::int64_t DecodedEnd(std::int64_t filePos) const;

    std::int64_t Size() const { return FSize; }
    std::int64_t DataStart() const { return FDataStart; }
    std::int64_t DataEnd() const { return FDataEnd; }

private:
    std::int64_t SilenceCount() const { return static_cast<std::int64_t>(FSilences.size()); }
    std::int64_t StartOf(std::int64_t index) const;
    std::int64_t LengthOf(std::int64_t index) const;

    std::vector<TSpxSilence> FSilences;
    std::int64_t FDataStart = 0;
    std::int64_t FDataEnd = 0;
    std::int64_t FCompBlock = 1;
    std::int64_t FPcmBlock = 1;
    std::int64_t FSize = 0;
};

} // namespace vsr
