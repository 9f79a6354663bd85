#include "platform/WaveQueue.h"

namespace vsr {

std::string TWaveQueue::Push(int index, std::span<const std::byte> data) {
    if (index < 0 || index >= cMaxWaveBuffers)
        return "Invalid wave buffer index";
    for (std::size_t i = 0; i < FCount; ++i) {
        if (FEntries[(FHead + i) % FEntries.size()].Index == index)
            return "Wave buffer is still playing";
    }
    // Cannot overflow: indexes are distinct and fewer than the capacity.
    FEntries[(FHead + FCount) % FEntries.size()] = {index, data, 0};
    ++FCount;
    return {};
}

void TWaveQueue::PopDone(TMessageTarget& owner) {
    const int index = FEntries[FHead].Index;
    FEntries[FHead] = {};
    FHead = (FHead + 1) % FEntries.size();
    --FCount;
    PostWaveDone(owner, index);
}

void TWaveQueue::ReportAllDone(TMessageTarget& owner) {
    while (!Empty())
        PopDone(owner);
}

void TWaveQueue::Clear() {
    FEntries = {};
    FHead = 0;
    FCount = 0;
}

void PostWaveDone(TMessageTarget& owner, int index) {
    owner.Post({cWomDone, 0, index});
}

} // namespace vsr
