#pragma once
// TStreamer: reads records and length-prefixed strings from a stream's position.

#include "platform/Stream.h"
#include "recording/VSRRecords.h"

#include <cstdint>
#include <string>

namespace vsr {

class TStreamer {
public:
    explicit TStreamer(TStream& stream) : FStream(stream) {}

    // The record's bytes; false when the stream ends first.
    template <Record TRecord> bool TryRead(TRecord& record) { return ReadRecord(FStream, record); }
    // The record's bytes; raises EStreamError when the stream ends first.
    template <Record TRecord> void Read(TRecord& record) {
        if (!TryRead(record))
            throw EStreamError("Stream read error");
    }
    template <Record TRecord> TRecord Read() {
        TRecord record{};
        Read(record);
        return record;
    }

    // A 16-bit length L, then L 8-bit characters; raises EStreamError when they are not all there.
    std::string ReadString();

    TStream& Stream() { return FStream; }

private:
    TStream& FStream;
};

} // namespace vsr
