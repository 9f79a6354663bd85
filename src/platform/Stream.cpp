#include "platform/Stream.h"

#include <algorithm>
#include <array>

namespace vsr {

std::int64_t TStream::Size() {
    const std::int64_t old = Position();
    const std::int64_t size = Seek(0, TSeekOrigin::End);
    Seek(old, TSeekOrigin::Begin);
    return size;
}

void TStream::ReadBuffer(std::span<std::byte> buffer) {
    if (Read(buffer) != buffer.size())
        throw EStreamError("Stream read error");
}

void TStream::WriteBuffer(std::span<const std::byte> buffer) {
    if (Write(buffer) != buffer.size())
        throw EStreamError("Stream write error");
}

void TStream::CopyFrom(TStream& source, std::int64_t count) {
    std::array<std::byte, 65536> chunk{};
    while (count > 0) {
        const auto n = static_cast<std::size_t>(
            std::min<std::int64_t>(count, static_cast<std::int64_t>(chunk.size())));
        source.ReadBuffer(std::span(chunk.data(), n));
        WriteBuffer(std::span(chunk.data(), n));
        count -= static_cast<std::int64_t>(n);
    }
}

std::size_t TMemoryStream::Read(std::span<std::byte> buffer) {
    const auto size = static_cast<std::int64_t>(FData.size());
    if (FPosition >= size)
        return 0;
    const auto n = static_cast<std::size_t>(
        std::min<std::int64_t>(size - FPosition, static_cast<std::int64_t>(buffer.size())));
    std::copy_n(FData.begin() + FPosition, n, buffer.begin());
    FPosition += static_cast<std::int64_t>(n);
    return n;
}

std::size_t TMemoryStream::Write(std::span<const std::byte> buffer) {
    const std::int64_t end = FPosition + static_cast<std::int64_t>(buffer.size());
    if (end > static_cast<std::int64_t>(FData.size()))
        FData.resize(static_cast<std::size_t>(end));
    std::copy(buffer.begin(), buffer.end(), FData.begin() + FPosition);
    FPosition = end;
    return buffer.size();
}

std::int64_t TMemoryStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    std::int64_t base = 0;
    if (origin == TSeekOrigin::Current)
        base = FPosition;
    else if (origin == TSeekOrigin::End)
        base = static_cast<std::int64_t>(FData.size());
    const std::int64_t target = base + offset;
    if (target < 0)
        throw EStreamError("Stream seek error");
    FPosition = target;
    return FPosition;
}

void TMemoryStream::SetSize(std::int64_t newSize) {
    if (newSize < 0)
        throw EStreamError("Invalid stream size");
    FData.resize(static_cast<std::size_t>(newSize));
    FPosition = std::min(FPosition, newSize);
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

} // namespace vsr
