#include "platform/PlainMessageQueue.h"

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace vsr {

namespace {

// The outcome of one sent message; guarded by the lock of the queue it went to.
struct TSendSlot {
    std::optional<TSendResult> Result;
};

struct TEntry {
    std::shared_ptr<const TMessageHandler> Target;
    TMessage Message;
    std::shared_ptr<TSendSlot> Slot; // empty for posted messages
};

// The pending messages of one thread.
class TThreadQueue {
public:
    // False when the owner thread has ended.
    bool Push(TEntry entry) {
        std::lock_guard lock(FLock);
        if (FClosed)
            return false;
        FEntries.push_back(std::move(entry));
        return true;
    }

    std::size_t Size() const {
        std::lock_guard lock(FLock);
        return FEntries.size();
    }

    std::optional<TEntry> PopFirst() {
        return Pop([](const TEntry&) { return true; });
    }

    std::optional<TEntry> PopFirst(const TMessageHandler* target, std::uint32_t msg) {
        return Pop(
            [&](const TEntry& e) { return e.Target.get() == target && e.Message.Msg == msg; });
    }

    std::size_t Count(const TMessageHandler* target, std::uint32_t msg) const {
        std::lock_guard lock(FLock);
        std::size_t count = 0;
        for (const TEntry& e : FEntries)
            count += e.Target.get() == target && e.Message.Msg == msg ? 1 : 0;
        return count;
    }

    void Dispatch(const TEntry& entry) {
        DispatchMessage(*entry.Target, entry.Message);
        Complete(entry.Slot, TSendResult::Delivered);
    }

    // Drops the pending messages of target; their senders return NotDelivered.
    void Discard(const TMessageHandler* target) {
        std::deque<TEntry> kept;
        std::deque<TEntry> dropped;
        {
            std::lock_guard lock(FLock);
            for (TEntry& e : FEntries)
                (e.Target.get() == target ? dropped : kept).push_back(std::move(e));
            FEntries.swap(kept);
        }
        CompleteAll(dropped);
    }

    void Close() {
        std::deque<TEntry> dropped;
        {
            std::lock_guard lock(FLock);
            FClosed = true;
            dropped.swap(FEntries);
        }
        CompleteAll(dropped);
    }

    TSendResult Wait(const std::shared_ptr<TSendSlot>& slot) {
        std::unique_lock lock(FLock);
        FDone.wait(lock, [&] { return slot->Result.has_value(); });
        return *slot->Result;
    }

private:
    template <typename TPredicate> std::optional<TEntry> Pop(TPredicate matches) {
        std::lock_guard lock(FLock);
        for (auto it = FEntries.begin(); it != FEntries.end(); ++it) {
            if (!matches(*it))
                continue;
            TEntry entry = std::move(*it);
            FEntries.erase(it);
            return entry;
        }
        return std::nullopt;
    }

    void Complete(const std::shared_ptr<TSendSlot>& slot, TSendResult result) {
        if (!slot)
            return;
        {
            std::lock_guard lock(FLock);
            slot->Result = result;
        }
        FDone.notify_all();
    }

    // Handlers of dropped entries are released outside the lock.
    void CompleteAll(std::deque<TEntry>& dropped) {
        for (const TEntry& e : dropped)
            Complete(e.Slot, TSendResult::NotDelivered);
    }

    mutable std::mutex FLock;
    std::condition_variable FDone;
    std::deque<TEntry> FEntries;
    bool FClosed = false;
};

// Closes the thread's queue when the thread ends, so that no sender waits for it forever.
struct TThreadQueueHolder {
    std::shared_ptr<TThreadQueue> Queue = std::make_shared<TThreadQueue>();
    ~TThreadQueueHolder() { Queue->Close(); }
};

std::shared_ptr<TThreadQueue> CurrentQueue() {
    thread_local TThreadQueueHolder holder;
    return holder.Queue;
}

class TPlainMessageTarget : public TMessageTarget {
public:
    explicit TPlainMessageTarget(TMessageHandler handler)
        : FQueue(CurrentQueue()),
          FHandler(std::make_shared<const TMessageHandler>(std::move(handler))) {}

    ~TPlainMessageTarget() override { FQueue->Discard(FHandler.get()); }

    void Post(const TMessage& message) override { FQueue->Push({FHandler, message, nullptr}); }

    TSendResult Send(const TMessage& message) override {
        if (std::this_thread::get_id() == FOwner) {
            auto handler = FHandler; // the handler may destroy this target
            DispatchMessage(*handler, message);
            return TSendResult::Delivered;
        }
        // Only locals from here on: the target may be destroyed while we wait.
        auto queue = FQueue;
        auto slot = std::make_shared<TSendSlot>();
        if (!queue->Push({FHandler, message, slot}))
            return TSendResult::NotDelivered;
        return queue->Wait(slot);
    }

    void DispatchPending(std::uint32_t msg) override {
        if (std::this_thread::get_id() != FOwner)
            return;
        // Counted first, so that a handler that posts the same message again cannot keep
        // us here; the queue is re-read each time because a handler may destroy this target.
        auto queue = FQueue;
        auto handler = FHandler; // keeps the address unique while we compare against it
        const TMessageHandler* target = handler.get();
        for (std::size_t n = queue->Count(target, msg); n > 0; --n) {
            auto entry = queue->PopFirst(target, msg);
            if (!entry)
                break;
            queue->Dispatch(*entry);
        }
    }

    std::thread::id OwnerThread() const override { return FOwner; }

private:
    std::shared_ptr<TThreadQueue> FQueue;
    std::shared_ptr<const TMessageHandler> FHandler;
    std::thread::id FOwner = std::this_thread::get_id();
};

} // namespace

std::unique_ptr<TMessageTarget> TPlainMessageQueue::CreateTarget(TMessageHandler handler) {
    return std::make_unique<TPlainMessageTarget>(std::move(handler));
}

void TPlainMessageQueue::ProcessMessages() {
    auto queue = CurrentQueue();
    for (std::size_t n = queue->Size(); n > 0; --n) {
        auto entry = queue->PopFirst();
        if (!entry)
            break;
        queue->Dispatch(*entry);
    }
}

} // namespace vsr
