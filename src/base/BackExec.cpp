#include "base/BackExec.h"

#include "platform/MainThread.h"
#include "shell/Trace.h"

#include <chrono>
#include <thread>

namespace vsr {

namespace {

constexpr auto cProcessAllSleep = std::chrono::milliseconds(50);
constexpr auto cOwnMessagesSleep = std::chrono::milliseconds(20);

} // namespace

// TBackThread

TBackThread& TBackThread::Create(TCustomBackExec& owner) {
    auto self = std::make_unique<TBackThread>(TKey{}, owner);
    TBackThread& thread = *self;
    std::binary_semaphore started{0};
    std::thread(Main, std::move(self), &started).detach();
    started.acquire();
    return thread;
}

void TBackThread::Main(std::unique_ptr<TBackThread> self, std::binary_semaphore* started) {
    self->FThreadId = CurrentThreadId();
    started->release();
    self->FResume.acquire();
    self->Run();
}

void TBackThread::SetPriority(TThreadPriority priority) {
    if (SetThreadPriority(FThreadId, priority) == TPriorityResult::Refused)
        TraceFmt("TBackThread: priority %d not applied", static_cast<int>(priority));
}

void TBackThread::Run() {
    if (!FOwner)
        return;
    FOwner->FThreadID = CurrentThreadId();
    RunPhase(&TCustomBackExec::DoBeforeExec);
    RunPhase(&TCustomBackExec::DoExec);
    RunPhase(&TCustomBackExec::DoAfterExec);
    // After the send returns the owner may be gone: nothing below may touch it.
    if (FOwner->HandleAllocated())
        FOwner->Handle().Send({cBackExecEndMessage, 0, 0});
}

void TBackThread::RunPhase(void (TCustomBackExec::*phase)()) {
    try {
        (FOwner->*phase)();
    } catch (const std::exception& error) {
        HandleError(error);
    } catch (...) {
        HandleError(Exception("Unknown exception"));
    }
}

// An error handler that fails must not keep the run from ending.
void TBackThread::HandleError(const std::exception& error) {
    try {
        FOwner->DoError(error);
    } catch (const std::exception& secondError) {
        TraceFmt("TBackExec: OnError failed: %s", secondError.what());
    } catch (...) {
        Trace("TBackExec: OnError failed");
    }
}

// TCustomBackExec

TCustomBackExec::TCustomBackExec() {
    Handle(); // now, so that it belongs to the creating thread
    if (!IsMainThread())
        Trace("Warning: TBackExec was not instantiated in the main thread. This could lead to "
              "problems.");
}

TCustomBackExec::~TCustomBackExec() {
    EndRun();
    DestroyHandle();
}

void TCustomBackExec::EndRun() {
    if (!FThread)
        return;
    TCustomBackExec::Terminate();
    WaitFor(TWaitMode::ProcessMessages);
    while (FThread)
        WaitPass(true);
}

void TCustomBackExec::Execute() {
    if (FThread)
        throw EBackExec("Already running");
    FTerminated = false;
    FFinished = false;
    try {
        TBackThread& thread = TBackThread::Create(*this);
        FThread = &thread;
        thread.SetPriority(FPriority);
        thread.Resume();
    } catch (...) {
        FTerminated = true;
        FFinished = true;
        throw;
    }
}

void TCustomBackExec::Terminate() {
    FTerminated = true;
}

void TCustomBackExec::WaitFor(TWaitMode mode) {
    if (!FThread)
        return;
    const bool processAll = mode == TWaitMode::ProcessMessages && IsMainThread();
    while (!FFinished)
        WaitPass(processAll);
}

void TCustomBackExec::WaitPass(bool processAll) {
    if (processAll) {
        MessageQueue().ProcessMessages();
        std::this_thread::sleep_for(cProcessAllSleep);
    } else {
        Handle().DispatchPending(cBackExecEndMessage);
        std::this_thread::sleep_for(cOwnMessagesSleep);
    }
}

void TCustomBackExec::SetPriority(TThreadPriority priority) {
    FPriority = priority;
    if (TBackThread* thread = FThread)
        thread->SetPriority(priority);
}

void TCustomBackExec::DoError(const std::exception& error) {
    if (OnError)
        OnError(*this, error);
}

void TCustomBackExec::DoFinished() {
    if (OnFinished)
        OnFinished(*this);
}

void TCustomBackExec::DoBeforeExec() {
    if (BeforeExec)
        BeforeExec(*this);
}

void TCustomBackExec::DoExec() {
    if (OnExec)
        OnExec(*this);
}

void TCustomBackExec::DoAfterExec() {
    if (AfterExec)
        AfterExec(*this);
}

// Runs on the creating thread while the worker waits for the send to return.
void TCustomBackExec::EndOfRunMessage(const TMessage&) {
    FThreadID = 0;
    FFinished = true;
    FTerminated = true;
    FThread = nullptr;
    DoFinished(); // last: the handler may destroy the component
}

void TCustomBackExec::WndProc(const TMessage& message) {
    if (message.Msg == cBackExecEndMessage)
        EndOfRunMessage(message);
    else
        TWndComponent::WndProc(message);
}

} // namespace vsr
