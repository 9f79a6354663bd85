#pragma once
// Cases of TBackExec that hold on every message queue implementation; the including test
// file installs the queue to use.

#include "platform/MainThread.h"
#include "base/BackExec.h"
#include "support/CaptureTracer.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vsr {
namespace {

using namespace std::chrono_literals;

const std::string cWarning =
    "Warning: TBackExec was not instantiated in the main thread. This could lead to problems.";

bool ThreadAlive(std::uint32_t tid) {
    return std::filesystem::exists("/proc/self/task/" + std::to_string(tid));
}

int NiceOf(std::uint32_t tid) {
    return getpriority(PRIO_PROCESS, static_cast<id_t>(tid));
}

int ProcessNice() {
    return getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
}

// Waits for a condition set by another thread, without pumping messages.
template <typename TDone> bool WaitUntil(TDone done, std::chrono::seconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

// The events of a run in the order they happened, each tagged with its thread: "main" for
// the thread that made the log, "w1", "w2" ... for the others in order of appearance.
class TEventLog {
public:
    void Add(const std::string& name) {
        std::lock_guard lock(FLock);
        const auto id = std::this_thread::get_id();
        auto worker = std::find(FWorkers.begin(), FWorkers.end(), id);
        if (id != FMain && worker == FWorkers.end())
            worker = FWorkers.insert(worker, id);
        FNames.push_back(name + "@" +
                         (id == FMain ? std::string("main")
                                      : "w" + std::to_string(worker - FWorkers.begin() + 1)));
    }
    std::vector<std::string> Names() const {
        std::lock_guard lock(FLock);
        return FNames;
    }

private:
    mutable std::mutex FLock;
    const std::thread::id FMain = std::this_thread::get_id();
    std::vector<std::thread::id> FWorkers;
    std::vector<std::string> FNames;
};

class BackExecTest : public ::testing::Test {
protected:
    void LogAllEvents(TBackExec& exec) {
        exec.BeforeExec = [this](TCustomBackExec&) { FLog.Add("BeforeExec"); };
        exec.OnExec = [this](TCustomBackExec&) { FLog.Add("OnExec"); };
        exec.AfterExec = [this](TCustomBackExec&) { FLog.Add("AfterExec"); };
        exec.OnFinished = [this](TCustomBackExec&) { FLog.Add("OnFinished"); };
        exec.OnError = [this](TCustomBackExec&, const std::exception& e) {
            FLog.Add(std::string("OnError:") + e.what());
        };
    }
    // Work that runs until it is told to stop.
    void RunUntilTerminated(TBackExec& exec) {
        exec.OnExec = [this](TCustomBackExec& sender) {
            FWorkerTid = CurrentThreadId();
            FStarted = true;
            while (!sender.Terminated())
                std::this_thread::sleep_for(1ms);
            FNoticed = true;
        };
    }

    test::TWatchdog FWatchdog{"BackExecTest"};
    TEventLog FLog;
    std::atomic<bool> FStarted = false;
    std::atomic<bool> FNoticed = false;
    std::atomic<std::uint32_t> FWorkerTid = 0;
};

TEST_F(BackExecTest, PhasesRunOnTheWorkerAndOnFinishedOnTheCreatingThread) {
    TBackExec exec;
    EXPECT_EQ(exec.Priority(), TThreadPriority::Lower);
    EXPECT_TRUE(exec.Terminated());
    EXPECT_TRUE(exec.Finished());
    EXPECT_EQ(exec.Handle().OwnerThread(), std::this_thread::get_id());
    LogAllEvents(exec);
    std::uint32_t idDuringRun = 0;
    exec.OnExec = [&](TCustomBackExec& s) {
        EXPECT_EQ(&s, &exec);
        EXPECT_FALSE(s.Terminated());
        EXPECT_FALSE(s.Finished());
        idDuringRun = s.ThreadID();
        FWorkerTid = CurrentThreadId();
        FLog.Add("OnExec");
    };
    exec.Execute();
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_EQ(FLog.Names(), (std::vector<std::string>{"BeforeExec@w1", "OnExec@w1", "AfterExec@w1",
                                                      "OnFinished@main"}));
    EXPECT_EQ(idDuringRun, FWorkerTid.load());
    EXPECT_TRUE(exec.Finished());
    EXPECT_TRUE(exec.Terminated());
    EXPECT_EQ(exec.ThreadID(), 0u);
}

TEST_F(BackExecTest, ExecuteWhileRunningIsRefused) {
    TBackExec exec;
    std::atomic<bool> release = false;
    std::atomic<int> runs = 0;
    exec.OnExec = [&](TCustomBackExec&) {
        ++runs;
        WaitUntil([&] { return release.load(); });
    };
    exec.Execute();
    try {
        exec.Execute();
        ADD_FAILURE() << "second Execute did not raise";
    } catch (const EBackExec& e) {
        EXPECT_STREQ(e.what(), "Already running");
    }
    EXPECT_FALSE(exec.Finished());
    release = true;
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_EQ(runs, 1);
    EXPECT_TRUE(exec.Finished());
}

TEST_F(BackExecTest, WaitForOnAnIdleComponentReturnsWithoutProcessingMessages) {
    TBackExec exec;
    int otherHandled = 0;
    auto other = MessageQueue().CreateTarget([&](const TMessage&) { ++otherHandled; });
    other->Post({1034, 0, 0});
    exec.WaitFor(TWaitMode::ProcessMessages);
    exec.WaitFor(TWaitMode::OwnMessages);
    EXPECT_EQ(otherHandled, 0);
    EXPECT_TRUE(exec.Finished());
}

TEST_F(BackExecTest, AnExceptionInAnyPhaseGoesToOnErrorOnTheWorkerAndTheRunGoesOn) {
    TBackExec exec;
    LogAllEvents(exec);
    exec.BeforeExec = [this](TCustomBackExec&) {
        FLog.Add("BeforeExec");
        throw EBackExec("first");
    };
    exec.OnExec = [this](TCustomBackExec&) {
        FLog.Add("OnExec");
        throw 42;
    };
    exec.AfterExec = [this](TCustomBackExec&) {
        FLog.Add("AfterExec");
        throw std::runtime_error("third");
    };
    exec.Execute();
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_EQ(FLog.Names(),
              (std::vector<std::string>{"BeforeExec@w1", "OnError:first@w1", "OnExec@w1",
                                        "OnError:Unknown exception@w1", "AfterExec@w1",
                                        "OnError:third@w1", "OnFinished@main"}));
}

TEST_F(BackExecTest, AFailingErrorHandlerDoesNotKeepTheRunFromEnding) {
    test::TCaptureTracer tracer;
    TBackExec exec;
    LogAllEvents(exec);
    exec.OnExec = [](TCustomBackExec&) { throw std::runtime_error("work"); };
    exec.OnError = [](TCustomBackExec&, const std::exception&) {
        throw std::runtime_error("handler");
    };
    exec.Execute();
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_EQ(FLog.Names(),
              (std::vector<std::string>{"BeforeExec@w1", "AfterExec@w1", "OnFinished@main"}));
    EXPECT_TRUE(tracer.Contains("TBackExec: OnError failed: handler"));
}

TEST_F(BackExecTest, TerminateThenWaitForReturnsOnceTheWorkStoppedAndTheEndWasHandled) {
    TBackExec exec;
    int finished = 0;
    bool noticedBeforeFinished = false;
    RunUntilTerminated(exec);
    exec.OnFinished = [&](TCustomBackExec&) {
        ++finished;
        noticedBeforeFinished = FNoticed;
    };
    exec.Execute();
    ASSERT_TRUE(WaitUntil([&] { return FStarted.load(); }));
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(exec.Terminated());
    EXPECT_FALSE(exec.Finished());
    EXPECT_EQ(exec.ThreadID(), FWorkerTid.load());
    exec.Terminate();
    EXPECT_TRUE(exec.Terminated());
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_TRUE(FNoticed);
    EXPECT_TRUE(noticedBeforeFinished);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(exec.Finished());
    EXPECT_EQ(exec.ThreadID(), 0u);
}

TEST_F(BackExecTest, OnFinishedRunsWhileTheWorkerStillExistsAndTheWorkerEndsAfterwards) {
    TBackExec exec;
    bool workerAliveInOnFinished = false;
    exec.OnExec = [this](TCustomBackExec&) { FWorkerTid = CurrentThreadId(); };
    exec.OnFinished = [&](TCustomBackExec&) { workerAliveInOnFinished = ThreadAlive(FWorkerTid); };
    exec.Execute();
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_TRUE(workerAliveInOnFinished);
    EXPECT_TRUE(WaitUntil([&] { return !ThreadAlive(FWorkerTid); }))
        << "the worker thread did not end after its run";
}

TEST_F(BackExecTest, WaitForOwnMessagesLeavesOtherMessagesPending) {
    TBackExec exec;
    int otherHandled = 0;
    auto other = MessageQueue().CreateTarget([&](const TMessage&) { ++otherHandled; });
    bool finished = false;
    exec.OnFinished = [&](TCustomBackExec&) { finished = true; };
    other->Post({1034, 0, 0});
    exec.Execute();
    exec.WaitFor(TWaitMode::OwnMessages);
    EXPECT_TRUE(finished);
    EXPECT_EQ(otherHandled, 0);

    exec.Execute();
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_EQ(otherHandled, 1);
}

TEST_F(BackExecTest, DestroyingARunningComponentStopsTheWorkAndWaitsForIt) {
    auto exec = std::make_unique<TBackExec>();
    int finished = 0;
    RunUntilTerminated(*exec);
    exec->OnFinished = [&](TCustomBackExec&) { ++finished; };
    exec->Execute();
    ASSERT_TRUE(WaitUntil([&] { return FStarted.load(); }));
    exec.reset();
    EXPECT_TRUE(FNoticed);
    EXPECT_EQ(finished, 1);
    EXPECT_TRUE(WaitUntil([&] { return !ThreadAlive(FWorkerTid); }));
}

TEST_F(BackExecTest, OnFinishedMayDestroyTheComponent) {
    auto exec = std::make_unique<TBackExec>();
    exec->OnExec = [this](TCustomBackExec&) { FWorkerTid = CurrentThreadId(); };
    exec->OnFinished = [&](TCustomBackExec&) { exec.reset(); };
    exec->Execute();
    ASSERT_TRUE(WaitUntil([&] {
        MessageQueue().ProcessMessages();
        return exec == nullptr;
    }));
    EXPECT_TRUE(WaitUntil([&] { return !ThreadAlive(FWorkerTid); }));
}

TEST_F(BackExecTest, AComponentOfAnotherThreadWarnsAndReportsTheEndOnThatThread) {
    test::TCaptureTracer tracer;
    { TBackExec onMain; }
    EXPECT_FALSE(tracer.Contains(cWarning));
    std::thread::id creator;
    std::thread::id finishedOn;
    std::thread([&] {
        creator = std::this_thread::get_id();
        TBackExec exec;
        exec.OnFinished = [&](TCustomBackExec&) { finishedOn = std::this_thread::get_id(); };
        exec.Execute();
        exec.WaitFor(TWaitMode::ProcessMessages); // not the main thread: own messages only
    }).join();
    EXPECT_EQ(tracer.CountOf(cWarning), 1u);
    EXPECT_EQ(finishedOn, creator);
}

TEST_F(BackExecTest, ChangingThePriorityOfARunningComponentChangesItsWorker) {
    if (ProcessNice() > 9)
        GTEST_SKIP() << "process niceness too high to observe lowering";
    TBackExec exec;
    std::atomic<int> niceAtStart = 0;
    std::atomic<bool> sawIdle = false;
    exec.OnExec = [&](TCustomBackExec& sender) {
        niceAtStart = NiceOf(CurrentThreadId());
        FStarted = true;
        while (!sender.Terminated() && !sawIdle) {
            sawIdle = sched_getscheduler(0) == SCHED_IDLE;
            std::this_thread::sleep_for(1ms);
        }
    };
    exec.Execute();
    ASSERT_TRUE(WaitUntil([&] { return FStarted.load(); }));
    exec.SetPriority(TThreadPriority::Idle);
    EXPECT_EQ(exec.Priority(), TThreadPriority::Idle);
    EXPECT_TRUE(WaitUntil([&] { return sawIdle.load(); }, 5s));
    exec.Terminate();
    exec.WaitFor(TWaitMode::ProcessMessages);
    EXPECT_TRUE(sawIdle);
    EXPECT_GT(niceAtStart, ProcessNice());
}

} // namespace
} // namespace vsr
