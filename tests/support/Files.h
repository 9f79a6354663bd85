#pragma once
// Whole files as bytes, patches at an offset, and little-endian values in byte vectors.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace vsr::test {

std::vector<std::byte> ReadFileBytes(const std::string& fileName);
void WriteFileBytes(const std::string& fileName, std::span<const std::byte> bytes);
void PatchFile(const std::string& fileName, std::int64_t offset, std::span<const std::byte> bytes);

template <typename TValue>
void PatchValue(const std::string& fileName, std::int64_t offset, const TValue& value) {
    PatchFile(fileName, offset, std::as_bytes(std::span(&value, 1)));
}

// size bytes, all value.
std::vector<std::byte> Bytes(std::size_t size, std::uint8_t value);
std::vector<std::byte> Bytes(const std::string& text);

// Little-endian values, as the formats store them (the test machines are little-endian).
template <typename T> void Put(std::vector<std::byte>& out, T value) {
    const auto* bytes = reinterpret_cast<const std::byte*>(&value);
    out.insert(out.end(), bytes, bytes + sizeof value);
}
// bytes with value's bytes written at offset at.
template <typename T>
std::vector<std::byte> Patched(std::vector<std::byte> bytes, std::size_t at, const T& value) {
    std::memcpy(bytes.data() + at, &value, sizeof value);
    return bytes;
}
template <typename T> T Get(std::span<const std::byte> bytes, std::size_t at) {
    T value;
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

} // namespace vsr::test
