#include "audio/SpxStream.h"
#include "audio/WaveFile.h"
#include "cli/Commands.h"
#include "platform/TempFiles.h"
#include "recording/SoundTrackFile.h"

#include <array>
#include <limits>

namespace vsr::cli {

namespace {

void CopyDecoded(TSpxStream& voice, TStream& output) {
    std::array<std::byte, 32000> buffer{};
    std::int64_t left = voice.Size();
    while (left > 0) {
        const std::size_t got = voice.Read(buffer);
        if (got == 0)
            throw Exception("The voice track ended early: it is damaged");
        output.WriteBuffer(std::span(buffer.data(), got));
        left -= static_cast<std::int64_t>(got);
    }
}

} // namespace

int AudioCommand(const TArguments& arguments) {
    TArguments args = arguments;
    const std::string output = TakeOption(args, "-o");
    const bool raw = TakeFlag(args, "--raw");
    const std::string input = SingleFile(args);
    if (output.empty())
        throw EUsage{"audio needs -o OUT.wav"};
    const TSoundTrackFile sound(input);
    TSpxStream voice(sound.FileName(), TFileMode::OpenRead, TSpxSilences::Load);
    if (!raw && voice.Size() > std::numeric_limits<std::uint32_t>::max() - 36)
        throw Exception("The voice track is too long for a WAV file; use --raw");
    TOutputFile out(output);
    {
        TFileStream file(out.TempName(), TFileMode::OpenReadWrite);
        if (!raw)
            WriteWaveHeader(file, TWaveFormat{}, static_cast<std::uint32_t>(voice.Size()));
        CopyDecoded(voice, file);
    }
    out.Commit();
    return 0;
}

} // namespace vsr::cli
