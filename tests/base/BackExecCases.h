#pragma once
// Cases every message queue passes, and TBackExec's, on the process-wide message queue that
// the including program chooses (the plain one, or Qt's).

#include "base/BackExec.h"
#include "shell/Format.h"
#include "support/CaptureTracer.h"
#include "support/ErrorOf.h"
#include "support/Pump.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sched.h>
#include <sys/resource.h>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using TLog = std::vector<std::string>;

class MessageQueueTest : public ::testing::Test {
protected:
    // Logs what happened, with "!" when on another thread than the test's.
    void Log(const std::string& name) {
        std::lock_guard lock(FLock);
        FLog.push_back(std::this_thread::get_id() == FMain ? name : name + "!");
    }
    TLog Logged() {
        std::lock_guard lock(FLock);
        return FLog;
    }

    // Logs messages as "Msg:WParam:LParam", and fails on LParam -1.
    const TMessageHandler FRecorder = [this](const TMessage& m) {
        Log(Format("%d:%d:%d", m.Msg, m.WParam, m.LParam));
        if (m.LParam == -1)
            throw std::runtime_error("boom");
    };
    TMessageQueue& FQueue = MessageQueue();
    test::TWatchdog FWatchdog;
    std::mutex FLock;
    TLog FLog;
    const std::thread::id FMain = std::this_thread::get_id();
};

TEST_F(MessageQueueTest, PostsWaitForProcessingInOrderOnTheOwnerThreadEvenWhenHandlersFail) {
    test::TCaptureTracer tracer;
    auto target = FQueue.CreateTarget(FRecorder);
    std::unique_ptr<TMessageTarget> selfish = FQueue.CreateTarget([&](const TMessage& m) {
        Log("selfish");
        if (m.Msg == 1)
            selfish->Post({2, 0, 0}); // for the next pass only, or processing would never end
        else
            selfish.reset(); // dropping what is still posted to it
    });
    for (const TMessage& m : {TMessage{1034, 7, 3}, {2048, 8, 0}, {1, 0, 0}})
        (m.Msg == 1 ? selfish : target)->Post(m);
    EXPECT_TRUE(Logged().empty());
    target->DispatchPending(2048);                              // only these, leaving the others
    EXPECT_EQ(target->Send({2, 0, 0}), TSendResult::Delivered); // on the owner thread: at once
    FQueue.ProcessMessages();
    selfish->Post({3, 0, 0});
    target->Post({1114, 9, 0});
    FQueue.ProcessMessages();
    FQueue.ProcessMessages();
    // A worker's posts and send: the send waits until the owner processes messages.
    std::atomic<int> seenBySender = -1;
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i)
            target->Post({1244, i, -i});
        FQueue.ProcessMessages();      // the worker's own messages: none
        target->DispatchPending(1244); // not the owner: does nothing
        EXPECT_EQ(target->Send({2048, 0, -1}), TSendResult::Delivered);
        seenBySender = static_cast<int>(Logged().size());
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(seenBySender, -1) << "Send returned while the owner was not processing messages";
    EXPECT_TRUE(test::PumpUntil([&] { return seenBySender >= 0; }));
    worker.join();
    EXPECT_EQ(seenBySender, 10);
    EXPECT_EQ(Logged(), (TLog{"2048:8:0", "2:0:0", "1034:7:3", "selfish", "selfish", "1114:9:0",
                              "1244:0:0", "1244:1:-1", "1244:2:-2", "2048:0:-1"}));
    EXPECT_EQ(tracer.CountOf("Exception in message handler: boom"), 2u);
}

// A mended fault: the sender used to wait forever.
TEST_F(MessageQueueTest, DestroyingATargetReleasesASenderWaitingOnIt) {
    auto target = FQueue.CreateTarget(FRecorder);
    std::thread worker([&, sender = target.get()] {
        Log("sending");
        EXPECT_EQ(sender->Send({2048, 0, 0}), TSendResult::NotDelivered);
        Log("returned");
    });
    // Waits without handling messages: handling them here could deliver the Send.
    for (int i = 0; i < 10000 && Logged().empty(); ++i)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(100ms); // the worker now waits inside Send
    EXPECT_EQ(Logged(), TLog{"sending!"});
    target.reset();
    worker.join();
    EXPECT_EQ(Logged(), (TLog{"sending!", "returned!"}));
}

using BackExecTest = MessageQueueTest;

TEST_F(BackExecTest, PhasesAndErrorsRunOnTheWorkerAndTheEndOnTheCreatingThread) {
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
    EXPECT_TRUE(exec.Terminated() && exec.ThreadID() == 0);
    EXPECT_EQ(Logged(), (TLog{"BeforeExec!", "first!", "OnExec!", "Unknown exception!",
                              "AfterExec!", "third!", "OnFinished"}));
    // A component of another thread warns. Its end is reported on that thread: WaitFor handles
    // only its own messages there, and returns once the end was handled. No handlers at all.
    std::thread([] {
        TBackExec other;
        other.Execute();
        other.WaitFor(TWaitMode::ProcessMessages);
    }).join();
    EXPECT_EQ(tracer.Lines(), (TLog{"TBackExec: OnError failed: fails",
                                    "Warning: TBackExec was not instantiated in the main thread. "
                                    "This could lead to problems."}));
}

TEST_F(BackExecTest, ARunningComponentRefusesExecuteTakesANewPriorityAndEndsOnTerminate) {
    auto exec = std::make_unique<TBackExec>();
    std::atomic<pid_t> worker = 0;
    const auto workerAlive = [&] {
        return std::filesystem::exists(Format("/proc/self/task/%d", worker.load()));
    };
    exec->OnExec = [&](TCustomBackExec& sender) {
        for (worker = static_cast<pid_t>(CurrentThreadId()); !sender.Terminated();)
            std::this_thread::sleep_for(1ms);
        Log("noticed");
    };
    exec->OnFinished = [&](TCustomBackExec&) {
        Log(workerAlive() ? "OnFinished, worker alive" : "OnFinished");
    };
    // Starts the work and waits for it without processing messages.
    const auto start = [&] {
        worker = 0;
        exec->Execute();
        while (worker == 0)
            std::this_thread::sleep_for(1ms);
    };
    auto other = FQueue.CreateTarget(FRecorder);
    other->Post({1034, 0, 0});
    exec->WaitFor(TWaitMode::ProcessMessages); // idle: returns at once, processing nothing
    start();
    EXPECT_EQ(test::ErrorOf<EBackExec>([&] { exec->Execute(); }), "Already running");
    EXPECT_FALSE(exec->Terminated() || exec->Finished());
    EXPECT_EQ(exec->ThreadID(), static_cast<std::uint32_t>(worker));
    EXPECT_GT(getpriority(PRIO_PROCESS, worker), getpriority(PRIO_PROCESS, 0)) << "Lower at first";
    exec->SetPriority(TThreadPriority::Idle); // a running worker changes too
    EXPECT_EQ(sched_getscheduler(worker), SCHED_IDLE);
    exec->Terminate();
    exec->WaitFor(TWaitMode::OwnMessages); // leaves the other message waiting
    EXPECT_TRUE(test::PumpUntil([&] { return !workerAlive() && Logged().size() == 3; }));
    // OnFinished after the work noticed Terminated, while the worker waits for it.
    EXPECT_EQ(Logged(), (TLog{"noticed!", "OnFinished, worker alive", "1034:0:0"}));
    // Destroying a running component stops the work and waits for it.
    start();
    exec.reset();
    EXPECT_EQ(Logged(), (TLog{"noticed!", "OnFinished, worker alive", "1034:0:0", "noticed!",
                              "OnFinished, worker alive"}));
    // OnFinished may destroy the component.
    exec = std::make_unique<TBackExec>();
    exec->OnFinished = [&](TCustomBackExec&) { exec.reset(); };
    exec->Execute();
    EXPECT_TRUE(test::PumpUntil([&] { return exec == nullptr; }));
}

} // namespace
} // namespace vsr
