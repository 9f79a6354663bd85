#include "audio/SpxTimeline.h"

#include <algorithm>
#include <utility>

namespace vsr {

namespace {

constexpr std::int64_t FramesPerBlock = 10;

// Start and Length compare as unsigned 32-bit values, as the stream reads them.
std::int64_t Unsigned(std::int32_t value) {
    return static_cast<std::int64_t>(static_cast<std::uint32_t>(value));
}

} // namespace

TSpxTimeline::TSpxTimeline(std::vector<TSpxSilence> silences, std::int64_t dataStart,
                           std::int64_t dataEnd, std::int64_t compBlock, std::int64_t pcmBlock)
    : FSilences(std::move(silences)), FDataStart(dataStart), FDataEnd(dataEnd),
      FCompBlock(compBlock), FPcmBlock(pcmBlock) {
    std::int64_t total = 0;
    for (const TSpxSilence& silence : FSilences)
        total += Unsigned(silence.Length);
    FSize = (total + FDataEnd - FDataStart) * FPcmBlock / FCompBlock;
}

TSpxTimeline::TFoundSilence TSpxTimeline::FindSilence(std::int64_t compPos) const {
    const std::int64_t count = SilenceCount();
    std::int64_t cum = 0;
    std::int64_t i = -1;
    while (i < count - 1 && compPos >= StartOf(i + 1) + cum) {
        ++i;
        cum += LengthOf(i);
    }
    if (i < 0)
        return {0, 0};
    if (compPos >= StartOf(i) + cum)
        return {i + 1, cum};
    cum -= LengthOf(i);
    return {i, cum};
}

std::int64_t TSpxTimeline::DataNeededFor(std::int64_t position) const {
    const std::int64_t compPos = (position * FCompBlock + FPcmBlock - 1) / FPcmBlock;
    const auto [index, cum] = FindSilence(compPos);
    const bool inSilence = index < SilenceCount() && compPos >= StartOf(index) + cum;
    const std::int64_t record = FCompBlock / FramesPerBlock;
    const std::int64_t data = inSilence ? StartOf(index) : (compPos - cum + record - 1) / record * record;
    return FDataStart + std::clamp<std::int64_t>(data + FCompBlock, 0, FDataEnd - FDataStart);
}

std::int64_t TSpxTimeline::DecodedEnd(std::int64_t filePos) const {
    const std::int64_t length = FDataEnd - FDataStart;
    std::int64_t data = std::clamp<std::int64_t>(filePos - FDataStart, 0, length);
    if (data == length)
        return FSize;
    data -= data % (FCompBlock / FramesPerBlock); // whole records only
    std::int64_t silent = 0;
    for (std::int64_t i = 0; i < SilenceCount() && StartOf(i) <= data; ++i)
        silent += LengthOf(i);
    return std::min((data + silent) * FPcmBlock / FCompBlock, FSize);
}

std::int64_t TSpxTimeline::StartOf(std::int64_t index) const {
    return Unsigned(FSilences[static_cast<std::size_t>(index)].Start);
}

std::int64_t TSpxTimeline::LengthOf(std::int64_t index) const {
    return Unsigned(FSilences[static_cast<std::size_t>(index)].Length);
}

} // namespace vsr
