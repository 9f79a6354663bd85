#include "platform/WndComponent.h"

namespace vsr {

TWndComponent::~TWndComponent() {
    DestroyHandle();
}

TMessageTarget& TWndComponent::Handle() {
    if (TMessageTarget* target = FTarget.load())
        return *target;
    FHandle = CreateHandle();
    FTarget = FHandle.get();
    return *FHandle;
}

std::unique_ptr<TMessageTarget> TWndComponent::CreateHandle() {
    return MessageQueue().CreateTarget([this](const TMessage& message) { WndProc(message); });
}

void TWndComponent::DestroyHandle() {
    FTarget = nullptr;
    FHandle.reset();
}

void TWndComponent::WndProc(const TMessage&) {}

} // namespace vsr
