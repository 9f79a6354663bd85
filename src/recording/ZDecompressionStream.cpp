#include "recording/ZDecompressionStream.h"

#include "shell/Format.h"

#include <algorithm>
#include <climits>
#include <isa-l/igzip_lib.h>

namespace vsr {

namespace {

constexpr std::size_t InputBlockBytes = 64 * 1024;
// ISA-L counts in 32-bit unsigned; larger buffers are filled in several passes.
constexpr std::size_t MaxPassBytes = std::size_t{1} << 30;

const char* Reason(int result) {
    switch (result) {
    case ISAL_INVALID_BLOCK:
        return "invalid block";
    case ISAL_INVALID_SYMBOL:
        return "invalid code";
    case ISAL_INVALID_LOOKBACK:
        return "invalid distance too far back";
    case ISAL_INVALID_WRAPPER:
        return "incorrect header";
    case ISAL_UNSUPPORTED_METHOD:
        return "unknown compression method";
    case ISAL_INCORRECT_CHECKSUM:
        return "incorrect data check";
    case ISAL_NEED_DICT:
        return "needs a preset dictionary";
    default:
        return "unknown error";
    }
}

[[noreturn]] void RaiseDamaged(int result) {
    throw EZDecompressionError(
        Format("The recording's compressed data is damaged (%s)", Reason(result)));
}

} // namespace

TZDecompressionStream::TZDecompressionStream(TStream& source)
    : FSource(source), FState(std::make_unique<inflate_state>()), FInput(InputBlockBytes) {
    isal_inflate_init(FState.get());
    FState->crc_flag = ISAL_ZLIB; // the header is read and the Adler-32 verified
}

TZDecompressionStream::~TZDecompressionStream() = default;

std::size_t TZDecompressionStream::Read(std::span<std::byte> buffer) {
    std::size_t done = 0;
    while (done < buffer.size() && !FEnded) {
        // ISA-L takes input ahead into its own buffers: output may come without new input.
        const std::uint32_t inputBefore = FState->avail_in;
        const std::size_t count = InflateInto(buffer.subspan(done));
        done += count;
        if (count > 0 || FEnded)
            continue;
        if (FState->avail_in > 0 && FState->avail_in == inputBefore)
            RaiseDamaged(ISAL_INVALID_BLOCK); // neither input taken nor output given
        if (FState->avail_in == 0 && !RefillInput())
            break;
    }
    FTotalOut += static_cast<std::int64_t>(done);
    return done;
}

bool TZDecompressionStream::RefillInput() {
    const std::size_t count = FSource.Read(FInput);
    FState->next_in = reinterpret_cast<std::uint8_t*>(FInput.data());
    FState->avail_in = static_cast<std::uint32_t>(count);
    return count > 0;
}

std::size_t TZDecompressionStream::InflateInto(std::span<std::byte> buffer) {
    const std::size_t pass = std::min(buffer.size(), MaxPassBytes);
    FState->next_out = reinterpret_cast<std::uint8_t*>(buffer.data());
    FState->avail_out = static_cast<std::uint32_t>(pass);
    const int result = isal_inflate(FState.get());
    if (result != ISAL_DECOMP_OK && result != ISAL_END_INPUT && result != ISAL_OUT_OVERFLOW)
        RaiseDamaged(result);
    if (FState->block_state == ISAL_BLOCK_FINISH)
        FEnded = true;
    return pass - FState->avail_out;
}

std::size_t TZDecompressionStream::Write(std::span<const std::byte>) {
    throw EStreamError("A decompression stream cannot be written");
}

std::int64_t TZDecompressionStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    if (offset != 0 || origin != TSeekOrigin::Current)
        throw EStreamError("A decompression stream cannot seek");
    return FTotalOut;
}

std::int64_t TZDecompressionStream::Size() {
    throw EStreamError("A decompression stream has no size");
}

void TZDecompressionStream::SetSize(std::int64_t) {
    throw EStreamError("A decompression stream has no size");
}

} // namespace vsr
