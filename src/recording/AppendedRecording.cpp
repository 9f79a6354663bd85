#include "recording/AppendedRecording.h"

#include "recording/VSRRecords.h"
#include "shell/Format.h"
#include "shell/Trace.h"

#include <array>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace vsr {

namespace {

constexpr std::int64_t cLengthBytes = 4;

std::uint32_t ReadLength(TStream& player) {
    std::array<std::byte, cLengthBytes> bytes{};
    player.Seek(-cLengthBytes, TSeekOrigin::End);
    player.ReadBuffer(bytes);
    std::uint32_t length = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        length |= std::to_integer<std::uint32_t>(bytes[i]) << (8 * i);
    return length;
}

bool StartsAsRecording(TStream& player, const TAppendedRange& range) {
    if (range.Size < VSRHeaderMagic.size())
        return false;
    std::array<char, VSRHeaderMagic.size()> start{};
    player.SetPosition(range.Offset);
    player.ReadBuffer(std::as_writable_bytes(std::span(start)));
    return std::string_view(start.data(), start.size()) == VSRHeaderMagic;
}

bool IsTaken(const std::string& name) {
    std::error_code ignored;
    return std::filesystem::symlink_status(name, ignored).type() !=
           std::filesystem::file_type::not_found;
}

} // namespace

std::optional<TAppendedRange> FindAppendedRecording(TStream& player) {
    const std::int64_t size = player.Size();
    if (size < cLengthBytes)
        return std::nullopt;
    const std::uint32_t length = ReadLength(player);
    if (length == 0 || length > size - cLengthBytes)
        return std::nullopt;
    const TAppendedRange range{size - cLengthBytes - length, length};
    if (!StartsAsRecording(player, range))
        return std::nullopt;
    return range;
}

TRandomNames::TRandomNames()
    : FEngine(static_cast<std::uint32_t>(
          std::chrono::high_resolution_clock::now().time_since_epoch().count())) {}

std::string ExtractedFileName(const std::string& executablePath, std::uint32_t random,
                              const std::string& folder) {
    const std::string name = std::filesystem::path(executablePath).filename().string();
    return folder + "/" + name + Format("_%x_", random) + ".vsr";
}

std::unique_ptr<TTempFile> ExtractAppendedRecording(const std::string& executablePath,
                                                    TRandomNames& random,
                                                    const std::string& folder) {
    TFileStream player(executablePath, TFileMode::OpenRead);
    const auto range = FindAppendedRecording(player);
    if (!range) {
        TraceFmt("No recording appended to %s", executablePath);
        return nullptr;
    }
    // The name is predictable, so the copy is made as a new file of our own: never over an
    // existing file or through a link someone placed there.
    std::string name = ExtractedFileName(executablePath, random.Next(), folder);
    for (int attempt = 0; attempt < 16 && IsTaken(name); ++attempt)
        name = ExtractedFileName(executablePath, random.Next(), folder);
    TFileStream target(name, TFileMode::CreateNew);
    auto copy = std::make_unique<TTempFile>(name); // from here on a failure removes the copy
    player.SetPosition(range->Offset);
    target.CopyFrom(player, range->Size);
    TraceFmt("Extracted %d bytes to %s", range->Size, copy->FileName());
    return copy;
}

} // namespace vsr
