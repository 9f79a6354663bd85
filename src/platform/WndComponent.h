#pragma once
// TWndComponent: a component that owns a hidden window, i.e. a message target whose messages
// are dispatched to the component's WndProc.
//
// The target belongs to the thread that first asks for Handle (see MessageQueue.h); messages
// are handled on that thread only. HandleAllocated may be asked from any thread.

#include "platform/MessageQueue.h"

#include <atomic>
#include <memory>

namespace vsr {

class TWndComponent {
public:
    TWndComponent() = default;
    virtual ~TWndComponent();
    TWndComponent(const TWndComponent&) = delete;
    TWndComponent& operator=(const TWndComponent&) = delete;

    // The hidden window, created on first use.
    TMessageTarget& Handle();
    bool HandleAllocated() const { return FTarget.load() != nullptr; }

protected:
    virtual std::unique_ptr<TMessageTarget> CreateHandle();
    // Destroys the hidden window; its pending messages are dropped.
    void DestroyHandle();
    // Messages a derived class does not handle end here and are ignored.
    virtual void WndProc(const TMessage& message);

private:
    std::unique_ptr<TMessageTarget> FHandle;
    std::atomic<TMessageTarget*> FTarget = nullptr; // FHandle, readable from other threads
};

} // namespace vsr
