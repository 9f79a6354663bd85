#pragma once
// TZCompressionStream: deflates what is written to it into one complete zlib stream on
// another stream, at zlib's default level (stream header 0x78 0x9C).
//
// Finish writes the end of the zlib stream; the destination's position is then just past it.
// A stream destroyed without Finish is finished then, and errors at that point are lost.

#include "platform/Stream.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>
#include <zlib.h>

namespace vsr {

class EZCompressionError : public Exception {
public:
    using Exception::Exception;
};

class TZCompressionStream : public TStream {
public:
    explicit TZCompressionStream(TStream& destination);
    ~TZCompressionStream() override;

    std::size_t Read(std::span<std::byte> buffer) override;
    std::size_t Write(std::span<const std::byte> buffer) override;
    // Only the current position (bytes written so far) can be asked for.
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override { return FTotalIn; }
    void SetSize(std::int64_t newSize) override;

    void Finish();
    std::int64_t TotalIn() const { return FTotalIn; }

private:
    void Deflate(int flush);

    TStream& FDestination;
    z_stream FZStream{};
    std::vector<std::byte> FOutput;
    std::int64_t FTotalIn = 0;
    bool FFinished = false;
};

} // namespace vsr
