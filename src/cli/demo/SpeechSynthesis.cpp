#include "cli/demo/SpeechSynthesis.h"

#include "platform/RunTool.h"
#include "platform/TempFiles.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace vsr::cli::demo {

namespace {

std::uint32_t Le(std::span<const std::byte> bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i)
        value |= std::to_integer<std::uint32_t>(bytes[at + i]) << (8 * i);
    return value;
}

bool IsId(std::span<const std::byte> bytes, std::size_t at, const char* id) {
    return std::memcmp(bytes.data() + at, id, 4) == 0;
}

std::vector<std::byte> ReadBytes(const std::string& fileName) {
    std::ifstream file(fileName, std::ios::binary);
    std::vector<char> chars{std::istreambuf_iterator<char>(file), {}};
    const auto bytes = std::as_bytes(std::span(chars));
    return {bytes.begin(), bytes.end()};
}

} // namespace

std::optional<TWaveSamples> ParseWave(std::span<const std::byte> file) {
    if (file.size() < 12 || !IsId(file, 0, "RIFF") || !IsId(file, 8, "WAVE"))
        return std::nullopt;
    std::uint32_t channels = 0;
    TWaveSamples wave;
    for (std::size_t at = 12; at + 8 <= file.size();) {
        const std::size_t size = std::min<std::size_t>(Le(file, at + 4, 4), file.size() - at - 8);
        if (IsId(file, at, "fmt ") && size >= 16) {
            if (Le(file, at + 8, 2) != 1 || Le(file, at + 22, 2) != 16)
                return std::nullopt;
            channels = Le(file, at + 10, 2);
            wave.Rate = Le(file, at + 12, 4);
        } else if (IsId(file, at, "data") && channels > 0 && wave.Rate > 0) {
            for (std::size_t i = at + 8; i + 2 * channels <= at + 8 + size; i += 2 * channels)
                wave.Samples.push_back(static_cast<std::int16_t>(Le(file, i, 2)));
            return wave;
        }
        at += 8 + size + (size & 1);
    }
    return std::nullopt;
}

std::vector<std::int16_t> Resample(const std::vector<std::int16_t>& samples, std::uint32_t fromRate,
                                   std::uint32_t toRate) {
    const std::size_t count = samples.size() * toRate / fromRate;
    std::vector<std::int16_t> result(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t first = i * fromRate / toRate;
        const std::size_t last =
            std::max(first + 1, std::min(samples.size(), (i + 1) * fromRate / toRate));
        long sum = 0;
        for (std::size_t j = first; j < last; ++j)
            sum += samples[j];
        result[i] = static_cast<std::int16_t>(sum / static_cast<long>(last - first));
    }
    return result;
}

std::optional<std::vector<std::int16_t>> Speak(const std::string& text) {
    const TTempFile wave(CreateTempFile("vsrdemo"));
    if (wave.FileName().empty() ||
        RunInstalledTool("espeak-ng", {"-w", wave.FileName(), "-s", "150", text}) !=
            TToolResult::Succeeded)
        return std::nullopt;
    const auto parsed = ParseWave(ReadBytes(wave.FileName()));
    if (!parsed || parsed->Samples.empty())
        return std::nullopt;
    return Resample(parsed->Samples, parsed->Rate, 8000);
}

} // namespace vsr::cli::demo
