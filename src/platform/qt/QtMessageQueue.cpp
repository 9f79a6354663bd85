#include "platform/qt/QtMessageQueue.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>

namespace vsr {

namespace {

// One event type per message number, so that sendPostedEvents can pick one number.
QEvent::Type EventTypeOf(std::uint32_t msg) {
    static std::mutex lock;
    static std::map<std::uint32_t, QEvent::Type> types;
    std::lock_guard guard(lock);
    auto it = types.find(msg);
    if (it == types.end())
        it = types.emplace(msg, static_cast<QEvent::Type>(QEvent::registerEventType())).first;
    return it->second;
}

// The outcome of one message sent from another thread.
class TSendSlot {
public:
    void Complete(TSendResult result) {
        {
            std::lock_guard lock(FLock);
            FResult = result;
        }
        FDone.notify_all();
    }
    TSendResult Wait() {
        std::unique_lock lock(FLock);
        FDone.wait(lock, [&] { return FResult.has_value(); });
        return *FResult;
    }

private:
    std::mutex FLock;
    std::condition_variable FDone;
    std::optional<TSendResult> FResult;
};

// Qt deletes the event after delivery, or undelivered when its receiver is destroyed; either
// way the waiting sender learns the outcome.
class TMessageEvent : public QEvent {
public:
    TMessageEvent(const TMessage& message, std::shared_ptr<TSendSlot> slot)
        : QEvent(EventTypeOf(message.Msg)), FMessage(message), FSlot(std::move(slot)) {}
    ~TMessageEvent() override {
        FPublished.load(std::memory_order_acquire); // also when destroyed undelivered
        if (FSlot)
            FSlot->Complete(FDelivered ? TSendResult::Delivered : TSendResult::NotDelivered);
    }
    TMessageEvent(const TMessageEvent&) = delete;
    TMessageEvent& operator=(const TMessageEvent&) = delete;

    // Qt hands the event over under its own futex-based locks, which thread checkers cannot
    // see; this release/acquire pair states the hand-over in the C++ memory model.
    void Publish() { FPublished.store(true, std::memory_order_release); }
    const TMessage& Receive() {
        FPublished.load(std::memory_order_acquire);
        FDelivered = true;
        return FMessage;
    }

private:
    TMessage FMessage;
    std::shared_ptr<TSendSlot> FSlot;
    bool FDelivered = false;
    std::atomic<bool> FPublished = false;
};

class TTargetObject : public QObject {
public:
    explicit TTargetObject(std::shared_ptr<const TMessageHandler> handler)
        : FHandler(std::move(handler)) {}

    bool event(QEvent* event) override {
        auto* messageEvent = dynamic_cast<TMessageEvent*>(event);
        if (!messageEvent)
            return QObject::event(event);
        auto handler = FHandler; // the handler may destroy this object
        DispatchMessage(*handler, messageEvent->Receive());
        return true;
    }

private:
    std::shared_ptr<const TMessageHandler> FHandler;
};

class TQtMessageTarget : public TMessageTarget {
public:
    explicit TQtMessageTarget(TMessageHandler handler)
        : FHandler(std::make_shared<const TMessageHandler>(std::move(handler))),
          FObject(std::make_unique<TTargetObject>(FHandler)) {}
    // Pending events go first, releasing their waiting senders, before any member changes.
    ~TQtMessageTarget() override { QCoreApplication::removePostedEvents(FObject.get()); }
    TQtMessageTarget(const TQtMessageTarget&) = delete;
    TQtMessageTarget& operator=(const TQtMessageTarget&) = delete;

    void Post(const TMessage& message) override { PostEvent(message, nullptr); }

    TSendResult Send(const TMessage& message) override {
        if (std::this_thread::get_id() == FOwner) {
            auto handler = FHandler; // the handler may destroy this target
            DispatchMessage(*handler, message);
            return TSendResult::Delivered;
        }
        auto slot = std::make_shared<TSendSlot>();
        PostEvent(message, slot);
        return slot->Wait(); // only the local slot: the target may be destroyed meanwhile
    }

    void DispatchPending(std::uint32_t msg) override {
        if (std::this_thread::get_id() == FOwner)
            QCoreApplication::sendPostedEvents(FObject.get(), EventTypeOf(msg));
    }

    std::thread::id OwnerThread() const override { return FOwner; }

private:
    void PostEvent(const TMessage& message, std::shared_ptr<TSendSlot> slot) {
        QObject* receiver = FObject.get(); // read before the hand-over is published
        auto event = std::make_unique<TMessageEvent>(message, std::move(slot));
        event->Publish();
        QCoreApplication::postEvent(receiver, event.release()); // Qt takes ownership
    }

    std::shared_ptr<const TMessageHandler> FHandler;
    std::unique_ptr<TTargetObject> FObject;
    std::thread::id FOwner = std::this_thread::get_id();
};

} // namespace

std::unique_ptr<TMessageTarget> TQtMessageQueue::CreateTarget(TMessageHandler handler) {
    return std::make_unique<TQtMessageTarget>(std::move(handler));
}

void TQtMessageQueue::ProcessMessages() {
    // processEvents does nothing on a thread without an event dispatcher (a std::thread);
    // sendPostedEvents delivers that thread's posted events.
    if (QThread::currentThread()->eventDispatcher())
        QCoreApplication::processEvents();
    else
        QCoreApplication::sendPostedEvents();
}

void InstallQtMessageQueue() {
    SetMessageQueue(std::make_unique<TQtMessageQueue>());
}

} // namespace vsr
