#pragma once
// Cases of the message queue and of TBackExec on the process-wide message queue that the
// including program chooses.

#include "base/BackExec.h"
#include "platform/MessageQueueCases.h"

#include <filesystem>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vsr {
namespace {

class BackExecTest : public MessageQueueTest {
protected:
    bool WorkerAlive() {
        return std::filesystem::exists(Format("/proc/self/task/%d", FWorkerTid.load()));
    }
    // Starts work that runs until it is told to stop, and waits for it without processing messages.
    void RunUntilTerminated(TBackExec& exec) {
        exec.OnExec = [this](TCustomBackExec& sender) {
            for (FWorkerTid = CurrentThreadId(); !sender.Terminated();)
                std::this_thread::sleep_for(1ms);
            const bool lowered = getpriority(PRIO_PROCESS, 0) > getpriority(PRIO_PROCESS, getpid());
            Log(sched_getscheduler(0) == SCHED_IDLE ? "noticed, idle"
                : lowered                           ? "noticed, lowered"
                                                    : "noticed");
        };
        exec.OnFinished = [this](TCustomBackExec&) {
            Log(WorkerAlive() ? "OnFinished, worker alive" : "OnFinished");
        };
        exec.Execute();
        while (FWorkerTid == 0)
            std::this_thread::sleep_for(1ms);
    }

    std::atomic<std::uint32_t> FWorkerTid = 0;
};

TEST_F(BackExecTest, PhasesAndErrorsRunOnTheWorkerAndOnFinishedOnTheCreatingThread) {
    test::TCaptureTracer tracer;
    TBackExec exec;
    EXPECT_TRUE(exec.Terminated() && exec.Finished() && exec.Priority() == TThreadPriority::Lower);
    const auto phase = [this](const char* name, auto error) {
        return [this, name, error](TCustomBackExec& sender) {
            const bool running = !sender.Terminated() && !sender.Finished() &&
                                 sender.ThreadID() == CurrentThreadId();
            Log(running ? name : "not running?");
            throw error;
        };
    };
    exec.BeforeExec = phase("BeforeExec", EBackExec("first"));
    exec.OnExec = phase("OnExec", 42);
    exec.AfterExec = phase("AfterExec", std::runtime_error("third"));
    // A mended fault: an OnError that throws ended the worker before the end-of-run message.
    exec.OnError = [this](TCustomBackExec&, const std::exception& e) {
        Log(e.what());
        if (e.what() == std::string("first"))
            throw std::logic_error("fails");
    };
    exec.OnFinished = [this](TCustomBackExec&) { Log("OnFinished"); };
    exec.Execute();
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_EQ(Logged(), (TLog{"BeforeExec!", "first!", "OnExec!", "Unknown exception!",
                              "AfterExec!", "third!", "OnFinished"}));
    EXPECT_TRUE(exec.Terminated() && exec.ThreadID() == 0);
    EXPECT_EQ(tracer.Lines(), TLog{"TBackExec: OnError failed: fails"});
}

TEST_F(BackExecTest, ARunningComponentRefusesExecuteTakesANewPriorityAndEndsOnTerminate) {
    TBackExec exec;
    auto other = FQueue.CreateTarget(Recorder());
    other->Post({1034, 0, 0});
    exec.WaitFor(TWaitMode::ProcessMessages); // idle: returns at once, processing nothing
    RunUntilTerminated(exec);
    try {
        exec.Execute();
        ADD_FAILURE() << "a second Execute did not raise";
    } catch (const EBackExec& e) {
        EXPECT_STREQ(e.what(), "Already running");
    }
    EXPECT_FALSE(exec.Terminated() || exec.Finished());
    EXPECT_EQ(exec.ThreadID(), FWorkerTid);
    exec.SetPriority(TThreadPriority::Idle); // a running worker changes too
    exec.Terminate();
    exec.WaitFor(TWaitMode::OwnMessages); // leaves the other message waiting
    EXPECT_TRUE(test::PumpUntil([&] { return !WorkerAlive() && Logged().size() == 3; }));
    // OnFinished after the work noticed Terminated, while the worker waits for it.
    EXPECT_EQ(Logged(), (TLog{"noticed, idle!", "OnFinished, worker alive", "1034:0:0"}));
}

TEST_F(BackExecTest, TheComponentMayBeDestroyedWhileRunningOrInOnFinished) {
    auto exec = std::make_unique<TBackExec>();
    RunUntilTerminated(*exec);
    exec.reset(); // stops the work and waits for it
    EXPECT_EQ(Logged(), (TLog{"noticed, lowered!", "OnFinished, worker alive"}));
    TBackExec bare; // a run without any handler
    bare.Execute();
    bare.WaitFor(TWaitMode::OwnMessages);
    exec = std::make_unique<TBackExec>();
    exec->OnFinished = [&](TCustomBackExec&) { exec.reset(); };
    exec->Execute();
    EXPECT_TRUE(test::PumpUntil([&] { return exec == nullptr; }));
}

TEST_F(BackExecTest, AComponentOfAnotherThreadWarnsAndReportsTheEndOnThatThread) {
    test::TCaptureTracer tracer;
    { TBackExec onMain; }
    std::thread([&] {
        TBackExec exec;
        exec.OnFinished = [&, creator = std::this_thread::get_id()](TCustomBackExec&) {
            Log(std::this_thread::get_id() == creator ? "OnFinished on its creator" : "OnFinished");
        };
        exec.Execute();
        exec.WaitFor(TWaitMode::ProcessMessages); // not the main thread: own messages only
    }).join();
    EXPECT_EQ(Logged(), TLog{"OnFinished on its creator!"});
    EXPECT_EQ(tracer.Lines(), TLog{"Warning: TBackExec was not instantiated in the main thread. "
                                   "This could lead to problems."});
}

} // namespace
} // namespace vsr
