#include "audio/SndKitSetup.h"
#include "cli/Commands.h"
#include "platform/Stream.h"
#include "platform/TempFiles.h"
#include "recording/VSRRecords.h"
#include "shell/Format.h"
#include "shell/Messages.h"

#include <array>
#include <cstdio>
#include <filesystem>

namespace vsr::cli {

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t cMaxRecordingBytes = 0xFFFFFFFFLL; // its length is stored in 32 bits

void CheckRecording(const std::string& fileName, TFileStream& recording) {
    if (recording.Size() > cMaxRecordingBytes)
        throw Exception(
            Format("%s is too large to pack: a recording must be below 4 GiB", fileName));
    std::array<char, VSRHeaderMagic.size()> magic{};
    if (recording.Read(std::as_writable_bytes(std::span(magic))) != magic.size() ||
        std::string_view(magic.data(), magic.size()) != VSRHeaderMagic)
        throw Exception(Format("%s: %s", fileName, sInvalidSRFile));
    recording.SetPosition(0);
}

void CheckDistinct(const std::string& output, const std::string& input) {
    std::error_code error;
    if (fs::equivalent(output, input, error))
        throw Exception(Format("%s would overwrite %s", output, input));
}

void WriteLength(TStream& output, std::uint32_t length) {
    std::array<std::byte, 4> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<std::byte>(length >> (8 * i));
    output.WriteBuffer(bytes);
}

std::int64_t WritePacked(const std::string& fileName, TFileStream& player, TFileStream& recording) {
    TOutputFile file(fileName, 0755);
    std::int64_t size = 0;
    {
        TFileStream output(file.TempName(), TFileMode::OpenReadWrite);
        output.CopyFrom(player, player.Size());
        output.CopyFrom(recording, recording.Size());
        WriteLength(output, static_cast<std::uint32_t>(recording.Size()));
        size = output.Size();
    }
    file.Commit();
    return size;
}

} // namespace

int PackCommand(const TArguments& arguments) {
    TArguments args = arguments;
    const std::string output = TakeOption(args, "-o");
    std::string playerName = TakeOption(args, "--player");
    const std::string input = SingleFile(args);
    if (output.empty())
        throw EUsage{"pack needs -o OUT"};
    if (playerName.empty())
        playerName = ExecutableFolder() + "/vsrplayer";
    if (!fs::is_regular_file(playerName))
        throw Exception(
            Format("Player not found: %s (build vsrplayer or name it with --player)", playerName));
    CheckDistinct(output, input);
    CheckDistinct(output, playerName);
    TFileStream recording(input, TFileMode::OpenRead);
    CheckRecording(input, recording);
    TFileStream player(playerName, TFileMode::OpenRead);
    const std::int64_t size = WritePacked(output, player, recording);
    std::printf("%s\n", Format("Wrote %s: %d bytes", output, size).c_str());
    return 0;
}

} // namespace vsr::cli
