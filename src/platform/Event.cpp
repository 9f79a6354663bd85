#include "platform/Event.h"

#include <algorithm>

namespace vsr {

// One blocked wait: woken by whichever of its events is set first.
struct TEvent::TWaiter {
    std::mutex Lock;
    std::condition_variable Wake;
    bool Woken = false;
    const TEvent* WokenBy = nullptr; // the first event set during the wait

    void Notify(const TEvent* event) {
        {
            std::lock_guard guard(Lock);
            if (!Woken)
                WokenBy = event;
            Woken = true;
        }
        Wake.notify_all();
    }
    // Until woken or the time has run out.
    void Sleep(std::chrono::milliseconds timeout) {
        std::unique_lock guard(Lock);
        if (timeout == cWaitInfinite)
            Wake.wait(guard, [this] { return Woken; });
        else
            Wake.wait_for(guard, timeout, [this] { return Woken; });
    }
};

TEvent::TEvent(TEventState initial) : FSignalled(initial == TEventState::Signalled) {}

TEvent::~TEvent() = default;

void TEvent::Set() {
    std::lock_guard guard(FLock);
    FSignalled = true;
    // The lock is held while waking, so a waiter cannot leave and free itself meanwhile.
    for (TWaiter* waiter : FWaiters)
        waiter->Notify(this);
}

void TEvent::Reset() {
    std::lock_guard guard(FLock);
    FSignalled = false;
}

bool TEvent::Signalled() const {
    std::lock_guard guard(FLock);
    return FSignalled;
}

bool TEvent::Wait(std::chrono::milliseconds timeout) {
    TEvent* const events[] = {this};
    return WaitForAny(events, timeout) == 0;
}

bool TEvent::Enlist(TWaiter& waiter) {
    std::lock_guard guard(FLock);
    if (FSignalled)
        return true;
    FWaiters.push_back(&waiter);
    return false;
}

void TEvent::Dismiss(TWaiter& waiter) {
    std::lock_guard guard(FLock);
    std::erase(FWaiters, &waiter);
}

namespace {

int IndexOf(std::span<TEvent* const> events, const TEvent* event) {
    const auto found = std::find(events.begin(), events.end(), event);
    return found == events.end() ? cWaitTimeout : static_cast<int>(found - events.begin());
}

// The first event signalled now; else the one that woke the wait, even if it has been reset
// since (a set event releases its waiters, as a manual-reset event does).
int Outcome(std::span<TEvent* const> events, const TEvent* wokenBy) {
    const auto found = std::find_if(events.begin(), events.end(),
                                    [](TEvent* event) { return event->Signalled(); });
    if (found != events.end())
        return static_cast<int>(found - events.begin());
    return IndexOf(events, wokenBy);
}

} // namespace

int WaitForAny(std::span<TEvent* const> events, std::chrono::milliseconds timeout) {
    TEvent::TWaiter waiter;
    std::size_t enlisted = 0;
    const TEvent* found = nullptr;
    while (enlisted < events.size() && !found) {
        if (events[enlisted]->Enlist(waiter))
            found = events[enlisted]; // it did not register the waiter
        else
            ++enlisted;
    }
    if (!found && timeout.count() > 0)
        waiter.Sleep(timeout);
    for (std::size_t i = 0; i < enlisted; ++i)
        events[i]->Dismiss(waiter);
    // Dismissed from every event, the waiter can no longer be notified.
    return Outcome(events, found ? found : waiter.WokenBy);
}

} // namespace vsr
