#pragma once
// The plain message queue: one queue per thread, pumped by that thread itself through
// ProcessMessages (or a target's DispatchPending). The threading rules are those of
// MessageQueue.h. When a thread ends, its queue closes: pending messages are dropped and
// waiting senders return NotDelivered.

#include "platform/MessageQueue.h"

namespace vsr {

class TPlainMessageQueue : public TMessageQueue {
public:
    std::unique_ptr<TMessageTarget> CreateTarget(TMessageHandler handler) override;
    void ProcessMessages() override;
};

} // namespace vsr
