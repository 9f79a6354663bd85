#pragma once
// TEvent: a manual-reset event. Once Set it stays signalled, releasing every waiter, until
// Reset. WaitForAny waits on several events at once without polling: each event keeps the
// list of the waits that are blocked on it and wakes them when it is set.
//
// Threads: Set, Reset, Signalled and the waits may be called from any thread. An event must
// outlive every wait on it.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <vector>

namespace vsr {

enum class TEventState { NotSignalled, Signalled };

// The result of a wait that ran out of time.
inline constexpr int cWaitTimeout = -1;
// A time-out that never runs out.
inline constexpr std::chrono::milliseconds cWaitInfinite = std::chrono::milliseconds::max();

class TEvent {
public:
    explicit TEvent(TEventState initial = TEventState::NotSignalled);
    ~TEvent();
    TEvent(const TEvent&) = delete;
    TEvent& operator=(const TEvent&) = delete;

    void Set();
    void Reset();
    bool Signalled() const;
    // True when the event was signalled within timeout (0 only tests it).
    bool Wait(std::chrono::milliseconds timeout = cWaitInfinite);

private:
    friend int WaitForAny(std::span<TEvent* const> events, std::chrono::milliseconds timeout);
    struct TWaiter;

    // Registers waiter unless the event is already signalled; true when it is signalled.
    bool Enlist(TWaiter& waiter);
    void Dismiss(TWaiter& waiter);

    mutable std::mutex FLock;
    bool FSignalled = false;
    std::vector<TWaiter*> FWaiters;
};

// The index of the first event, in array order, that is signalled when the wait ends, or
// cWaitTimeout when none became signalled within timeout.
int WaitForAny(std::span<TEvent* const> events, std::chrono::milliseconds timeout = cWaitInfinite);

} // namespace vsr
