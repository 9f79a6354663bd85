#include "platform/MessageQueue.h"

#include "platform/PlainMessageQueue.h"
#include "shell/Exception.h"
#include "shell/Trace.h"

#include <mutex>

namespace vsr {

namespace {

std::mutex gQueueLock;
std::unique_ptr<TMessageQueue> gQueue;

} // namespace

TMessageQueue& MessageQueue() {
    std::lock_guard lock(gQueueLock);
    if (!gQueue)
        gQueue = std::make_unique<TPlainMessageQueue>();
    return *gQueue;
}

std::unique_ptr<TMessageQueue> SetMessageQueue(std::unique_ptr<TMessageQueue> queue) {
    std::lock_guard lock(gQueueLock);
    std::swap(gQueue, queue);
    return queue;
}

void ReportDispatchError(const std::exception& error) {
    TraceFmt("Exception in message handler: %s", error.what());
}

void DispatchMessage(const TMessageHandler& handler, const TMessage& message) {
    try {
        if (handler)
            handler(message);
    } catch (const std::exception& error) {
        ReportDispatchError(error);
    } catch (...) {
        ReportDispatchError(Exception("Unknown exception"));
    }
}

} // namespace vsr
