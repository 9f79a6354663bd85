#pragma once
// TWaveQueue: the buffers written to a wave device and not yet reported back, in play order,
// with how much of the front one has been consumed. Fixed capacity: queueing allocates
// nothing. Not thread-safe: the device guards it with its own lock.

#include "platform/MessageQueue.h"
#include "platform/WaveDevice.h"

#include <array>
#include <cstddef>
#include <span>
#include <string>

namespace vsr {

struct TWaveQueueEntry {
    int Index = 0;
    std::span<const std::byte> Data;
    std::size_t Consumed = 0;

    std::size_t Remaining() const { return Data.size() - Consumed; }
};

class TWaveQueue {
public:
    // The empty text on success, else why the buffer cannot be queued.
    std::string Push(int index, std::span<const std::byte> data);
    bool Empty() const { return FCount == 0; }
    std::size_t Count() const { return FCount; }
    TWaveQueueEntry& Front() { return FEntries[FHead]; }
    // Removes the front entry and reports it done to owner.
    void PopDone(TMessageTarget& owner);
    // Reports every entry done to owner, in play order, and empties the queue.
    void ReportAllDone(TMessageTarget& owner);
    void Clear();

private:
    std::array<TWaveQueueEntry, cMaxWaveBuffers> FEntries{};
    std::size_t FHead = 0;
    std::size_t FCount = 0;
};

// Posts the done notification of buffer index.
void PostWaveDone(TMessageTarget& owner, int index);

} // namespace vsr
