#pragma once
// TIntervalList: the stretches of a seek bar's scale that are marked (in the player: the
// stretches of the voice track with sound). Items are owned records in scale units.

#include "base/FreeList.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vsr {

struct TInterval {
    std::int32_t Start = 0;
    std::int32_t End = 0;
};

class TIntervalList : public TFreeList<TInterval> {
public:
    using TFreeList::Add;
    std::size_t Add(std::int32_t start, std::int32_t end) {
        return Add(std::make_unique<TInterval>(TInterval{start, end}));
    }
};

} // namespace vsr
