#pragma once
// TBackExec: runs a piece of work, given as event handlers, on a worker thread of its own and
// reports the end of the run on the thread that created the component.
//
// Threads: create, Execute, Terminate, Priority, WaitFor and destroy the component on the
// thread that created it (normally the main thread), and assign the events before Execute.
// BeforeExec, OnExec, AfterExec and OnError run on the worker. The end of a run is a message
// sent to the component's own message target, so OnFinished runs on the creating thread while
// it processes messages, and before the worker ends; OnFinished may destroy the component.
// Terminated, Finished and ThreadID may be read from any thread.

#include "platform/MessageQueue.h"
#include "platform/ThreadPriority.h"
#include "platform/WndComponent.h"
#include "shell/Exception.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <semaphore>

namespace vsr {

// Sent by the worker to the component's target when its run has ended.
constexpr std::uint32_t cBackExecEndMessage = cFirstUserMessage + 1024;

class EBackExec : public Exception {
public:
    using Exception::Exception;
};

enum class TWaitMode {
    OwnMessages,    // handle only the component's end-of-run messages
    ProcessMessages // on the main thread: handle all of the thread's messages
};

class TCustomBackExec;

// The worker of one run. It owns itself and frees itself when its run ends.
class TBackThread {
public:
    // Starts the thread suspended; the object lives until the run ends.
    static TBackThread& Create(TCustomBackExec& owner);
    TBackThread(const TBackThread&) = delete;
    TBackThread& operator=(const TBackThread&) = delete;

    void SetPriority(TThreadPriority priority);
    void Resume() { FResume.release(); }

private:
    struct TKey {
        explicit TKey() = default;
    };

public:
    TBackThread(TKey, TCustomBackExec& owner) : FOwner(&owner) {}

private:
    static void Main(std::unique_ptr<TBackThread> self, std::binary_semaphore* started);
    void Run();
    void RunPhase(void (TCustomBackExec::*phase)());
    void HandleError(const std::exception& error);

    TCustomBackExec* FOwner;
    std::uint32_t FThreadId = 0;
    std::binary_semaphore FResume{0};
};

class TCustomBackExec : public TWndComponent {
public:
    using TNotifyEvent = std::function<void(TCustomBackExec& sender)>;
    using TBackExecError = std::function<void(TCustomBackExec& sender, const std::exception& e)>;

    TCustomBackExec();
    ~TCustomBackExec() override;

    // Starts a run; EBackExec "Already running" while a worker exists.
    void Execute();
    // Asks the work to stop; the work polls Terminated. Does not wait.
    virtual void Terminate();
    // Returns when the run has ended and its end-of-run message was handled.
    void WaitFor(TWaitMode mode);

    bool Terminated() const { return FTerminated; }
    bool Finished() const { return FFinished; }
    // The worker's thread identifier while it runs, else 0.
    std::uint32_t ThreadID() const { return FThreadID; }
    TThreadPriority Priority() const { return FPriority; }
    // Also changes the priority of a running worker.
    void SetPriority(TThreadPriority priority);

protected:
    // Ends a run that is still going: terminates it and waits for its end. The worker calls the
    // virtual operations below, so a class that overrides them ends the run in its own
    // destructor, before it stops being what the worker calls.
    void EndRun();

    virtual void DoError(const std::exception& error);
    virtual void DoFinished();
    virtual void DoBeforeExec();
    virtual void DoExec();
    virtual void DoAfterExec();
    virtual void EndOfRunMessage(const TMessage& message);
    void WndProc(const TMessage& message) override;

    TNotifyEvent BeforeExec;
    TNotifyEvent OnExec;
    TNotifyEvent AfterExec;
    TNotifyEvent OnFinished;
    TBackExecError OnError;

private:
    friend class TBackThread;

    void WaitPass(bool processAll);

    std::atomic<TBackThread*> FThread = nullptr;
    std::atomic<bool> FTerminated = true;
    TThreadPriority FPriority = TThreadPriority::Lower;
    std::atomic<bool> FFinished = true;
    std::atomic<std::uint32_t> FThreadID = 0;
};

class TBackExec final : public TCustomBackExec {
public:
    ~TBackExec() override { EndRun(); }

    using TCustomBackExec::AfterExec;
    using TCustomBackExec::BeforeExec;
    using TCustomBackExec::OnError;
    using TCustomBackExec::OnExec;
    using TCustomBackExec::OnFinished;
};

} // namespace vsr
