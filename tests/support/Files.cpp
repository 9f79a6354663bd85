#include "support/Files.h"

#include "platform/Stream.h"

namespace vsr::test {

std::vector<std::byte> ReadFileBytes(const std::string& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    std::vector<std::byte> bytes(static_cast<std::size_t>(file.Size()));
    file.ReadBuffer(bytes);
    return bytes;
}

void WriteFileBytes(const std::string& fileName, std::span<const std::byte> bytes) {
    TFileStream file(fileName, TFileMode::Create);
    file.WriteBuffer(bytes);
}

void PatchFile(const std::string& fileName, std::int64_t offset, std::span<const std::byte> bytes) {
    TFileStream file(fileName, TFileMode::OpenReadWrite);
    file.SetPosition(offset);
    file.WriteBuffer(bytes);
}

std::vector<std::byte> Bytes(std::size_t size, std::uint8_t value) {
    return std::vector<std::byte>(size, std::byte{value});
}

std::vector<std::byte> Bytes(const std::string& text) {
    const auto* first = reinterpret_cast<const std::byte*>(text.data());
    return {first, first + text.size()};
}

} // namespace vsr::test
