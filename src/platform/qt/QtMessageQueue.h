#pragma once
// The message queue on Qt's event loop, for the player.
//
// Each target is a QObject living in the thread that created it; messages are posted to it as
// events of a type registered for their number, so that the pending messages of one number
// can be delivered alone. A QCoreApplication must exist while targets are used. The threading
// rules are those of platform/MessageQueue.h.

#include "platform/MessageQueue.h"

namespace vsr {

class TQtMessageQueue : public TMessageQueue {
public:
    std::unique_ptr<TMessageTarget> CreateTarget(TMessageHandler handler) override;
    // Processes the calling thread's events, also on threads without an event loop.
    void ProcessMessages() override;
};

// Makes the Qt queue the process-wide one; call in main() after creating the application.
void InstallQtMessageQueue();

} // namespace vsr
