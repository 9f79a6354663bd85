#pragma once
// The stretches of a voice track that hold sound, in decoded bytes: the gaps between its
// silences. The seek bar marks them, and `vsr info` lists them.

#include "audio/SpxStream.h"

#include <cstdint>
#include <vector>

namespace vsr {

struct TSoundInterval {
    std::int32_t From = 0;
    std::int32_t To = 0;
    bool operator==(const TSoundInterval&) const = default;
};

// Empty when the stream does not apply silences; otherwise one interval before each silence
// (empty when the silence comes first) and one from the last silence to the end.
std::vector<TSoundInterval> SoundIntervals(TSpxStream& stream);

} // namespace vsr
