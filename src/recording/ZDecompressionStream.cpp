#include "recording/ZDecompressionStream.h"

#include "shell/Format.h"

#include <algorithm>
#include <climits>

namespace vsr {

namespace {

constexpr std::size_t InputBlockBytes = 64 * 1024;
// zlib counts in 32-bit unsigned; larger buffers are filled in several passes.
constexpr std::size_t MaxPassBytes = std::size_t{1} << 30;

[[noreturn]] void RaiseDamaged(const z_stream& zStream, int result) {
    const char* reason = zStream.msg ? zStream.msg : zError(result);
    throw EZDecompressionError(Format("The recording's compressed data is damaged (%s)", reason));
}

} // namespace

TZDecompressionStream::TZDecompressionStream(TStream& source)
    : FSource(source), FInput(InputBlockBytes) {
    const int result = inflateInit(&FZStream);
    if (result != Z_OK)
        throw EZDecompressionError(Format("Cannot start decompression (%s)", zError(result)));
}

TZDecompressionStream::~TZDecompressionStream() {
    inflateEnd(&FZStream);
}

std::size_t TZDecompressionStream::Read(std::span<std::byte> buffer) {
    std::size_t done = 0;
    while (done < buffer.size() && !FEnded) {
        if (FZStream.avail_in == 0 && !RefillInput())
            break;
        done += InflateInto(buffer.subspan(done));
    }
    FTotalOut += static_cast<std::int64_t>(done);
    return done;
}

bool TZDecompressionStream::RefillInput() {
    const std::size_t count = FSource.Read(FInput);
    FZStream.next_in = reinterpret_cast<Bytef*>(FInput.data());
    FZStream.avail_in = static_cast<uInt>(count);
    return count > 0;
}

std::size_t TZDecompressionStream::InflateInto(std::span<std::byte> buffer) {
    const std::size_t pass = std::min(buffer.size(), MaxPassBytes);
    FZStream.next_out = reinterpret_cast<Bytef*>(buffer.data());
    FZStream.avail_out = static_cast<uInt>(pass);
    const int result = inflate(&FZStream, Z_NO_FLUSH);
    if (result == Z_STREAM_END)
        FEnded = true;
    else if (result != Z_OK)
        RaiseDamaged(FZStream, result); // Z_BUF_ERROR cannot occur with input and room left
    return pass - FZStream.avail_out;
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
