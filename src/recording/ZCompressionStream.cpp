#include "recording/ZCompressionStream.h"

#include "shell/Format.h"

#include <algorithm>

namespace vsr {

namespace {

constexpr std::size_t OutputBlockBytes = 64 * 1024;
constexpr std::size_t MaxPassBytes = std::size_t{1} << 30;

} // namespace

TZCompressionStream::TZCompressionStream(TStream& destination)
    : FDestination(destination), FOutput(OutputBlockBytes) {
    const int result = deflateInit(&FZStream, Z_DEFAULT_COMPRESSION);
    if (result != Z_OK)
        throw EZCompressionError(Format("Cannot start compression (%s)", zError(result)));
}

TZCompressionStream::~TZCompressionStream() {
    try {
        Finish();
    } catch (const std::exception&) {
        // Destructors must not throw; callers who care call Finish themselves.
    }
    deflateEnd(&FZStream);
}

std::size_t TZCompressionStream::Write(std::span<const std::byte> buffer) {
    if (FFinished)
        throw EZCompressionError("The compression stream is already finished");
    const std::size_t count = buffer.size();
    while (!buffer.empty()) {
        const std::size_t pass = std::min(buffer.size(), MaxPassBytes);
        FZStream.next_in = reinterpret_cast<Bytef*>(const_cast<std::byte*>(buffer.data()));
        FZStream.avail_in = static_cast<uInt>(pass);
        Deflate(Z_NO_FLUSH);
        buffer = buffer.subspan(pass);
        FTotalIn += static_cast<std::int64_t>(pass);
    }
    return count;
}

void TZCompressionStream::Finish() {
    if (FFinished)
        return;
    FFinished = true;
    FZStream.next_in = nullptr;
    FZStream.avail_in = 0;
    Deflate(Z_FINISH);
}

// Runs deflate until it has taken all input (and, when finishing, written the stream end).
void TZCompressionStream::Deflate(int flush) {
    int result = Z_OK;
    do {
        FZStream.next_out = reinterpret_cast<Bytef*>(FOutput.data());
        FZStream.avail_out = static_cast<uInt>(FOutput.size());
        result = deflate(&FZStream, flush);
        if (result == Z_STREAM_ERROR)
            throw EZCompressionError("Compression failed");
        FDestination.WriteBuffer(std::span(FOutput).first(FOutput.size() - FZStream.avail_out));
    } while (FZStream.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
}

std::size_t TZCompressionStream::Read(std::span<std::byte>) {
    throw EStreamError("A compression stream cannot be read");
}

std::int64_t TZCompressionStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    if (offset != 0 || origin != TSeekOrigin::Current)
        throw EStreamError("A compression stream cannot seek");
    return FTotalIn;
}

void TZCompressionStream::SetSize(std::int64_t) {
    throw EStreamError("A compression stream cannot change its size");
}

} // namespace vsr
