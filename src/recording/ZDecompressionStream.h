#pragma once
// TZDecompressionStream: inflates one zlib stream read forward from another stream.
//
// Reading starts at the source's position when the object is created; the source is read in
// blocks, so its position afterwards lies somewhere past the bytes consumed. The stream ends
// at the end of the zlib stream or when the source runs out (a short read, not an error).
// Damaged compressed data raises EZDecompressionError, and so does a zlib stream whose Adler-32
// at its end does not match what was delivered. Only forward reading is possible.
//
// Inflated with ISA-L, whose inflate and checksum are about three times zlib's here (exact
// seeks inflate whole segments).

#include "platform/Stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

struct inflate_state;

namespace vsr {

class EZDecompressionError : public Exception {
public:
    using Exception::Exception;
};

class TZDecompressionStream : public TStream {
public:
    explicit TZDecompressionStream(TStream& source);
    ~TZDecompressionStream() override;

    std::size_t Read(std::span<std::byte> buffer) override;
    std::size_t Write(std::span<const std::byte> buffer) override;
    // Only the current position (bytes delivered so far) can be asked for.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t newSize) override;

    // Decompressed bytes delivered so far.
    std::int64_t TotalOut() const { return FTotalOut; }

private:
    bool RefillInput();
    std::size_t InflateInto(std::span<std::byte> buffer);

    TStream& FSource;
    std::unique_ptr<inflate_state> FState; // large: it holds the 32 KB window twice
    std::vector<std::byte> FInput;
    std::int64_t FTotalOut = 0;
    bool FEnded = false;
};

} // namespace vsr
