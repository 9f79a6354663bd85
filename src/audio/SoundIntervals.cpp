#include "audio/SoundIntervals.h"

namespace vsr {

std::vector<TSoundInterval> SoundIntervals(TSpxStream& stream) {
    std::vector<TSoundInterval> intervals;
    const TRecordSilenceList* silences = stream.Silences();
    if (!silences)
        return intervals;
    const std::int64_t pcm = stream.PcmBlock();
    const std::int64_t comp = stream.CompBlock();
    std::int64_t previous = 0;
    std::int64_t shift = 0;
    for (std::size_t i = 0; i < silences->Count(); ++i) {
        const TSpxSilence& silence = (*silences)[i];
        // Widths as the seek bar takes them: 64-bit products, 32-bit results.
        intervals.push_back({static_cast<std::int32_t>(previous),
                             static_cast<std::int32_t>(silence.Start * pcm / comp + shift)});
        previous = (std::int64_t{silence.Start} + silence.Length) * pcm / comp + shift;
        shift += silence.Length * pcm / comp;
    }
    intervals.push_back(
        {static_cast<std::int32_t>(previous), static_cast<std::int32_t>(stream.Size())});
    return intervals;
}

} // namespace vsr
