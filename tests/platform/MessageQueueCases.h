#pragma once
// Cases every message queue passes, on the process-wide queue the including program chooses.

#include "platform/MessageQueue.h"
#include "shell/Format.h"
#include "support/CaptureTracer.h"
#include "support/Pump.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>

namespace vsr {
namespace {

using namespace std::chrono_literals;
using TLog = std::vector<std::string>;

class MessageQueueTest : public ::testing::Test {
protected:
    // Logs what happened, with "!" when on another thread than the test's.
    void Log(const std::string& name) {
        const bool here = std::this_thread::get_id() == FMain;
        std::lock_guard lock(FLock);
        FLog.push_back(here ? name : name + "!");
    }
    TLog Logged() {
        std::lock_guard lock(FLock);
        return FLog;
    }
    // Logs messages as "Msg:WParam:LParam", and fails on LParam -1.
    TMessageHandler Recorder() {
        return [this](const TMessage& m) {
            Log(Format("%d:%d:%d", m.Msg, m.WParam, m.LParam));
            if (m.LParam == -1)
                throw std::runtime_error("boom");
        };
    }

    TMessageQueue& FQueue = MessageQueue();
    test::TWatchdog FWatchdog{"MessageQueueTest"};
    std::mutex FLock;
    TLog FLog;
    const std::thread::id FMain = std::this_thread::get_id();
};

TEST_F(MessageQueueTest, PostsWaitForProcessingInOrderAndDieWithTheirTarget) {
    auto target = FQueue.CreateTarget(Recorder());
    std::unique_ptr<TMessageTarget> selfish;
    selfish = FQueue.CreateTarget([&](const TMessage& m) {
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
    EXPECT_EQ(Logged(), (TLog{"2048:8:0", "2:0:0", "1034:7:3", "selfish", "selfish", "1114:9:0"}));
    EXPECT_EQ(selfish, nullptr);
}

TEST_F(MessageQueueTest, AWorkersPostsAndSendAreHandledInOrderOnTheOwnerThreadEvenWhenFailing) {
    test::TCaptureTracer tracer;
    auto target = FQueue.CreateTarget(Recorder());
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
    EXPECT_EQ(seenBySender, 4);
    EXPECT_EQ(Logged(), (TLog{"1244:0:0", "1244:1:-1", "1244:2:-2", "2048:0:-1"}));
    EXPECT_EQ(tracer.CountOf("Exception in message handler: boom"), 2u);
}

// A mended fault: the sender used to wait forever.
TEST_F(MessageQueueTest, DestroyingATargetReleasesASenderWaitingOnIt) {
    auto target = FQueue.CreateTarget(Recorder());
    std::thread worker([&, sender = target.get()] {
        Log("sending");
        EXPECT_EQ(sender->Send({2048, 0, 0}), TSendResult::NotDelivered);
        Log("returned");
    });
    ASSERT_TRUE(test::PumpUntil([&] { return !Logged().empty(); }));
    std::this_thread::sleep_for(100ms); // the worker now waits inside Send
    EXPECT_EQ(Logged(), TLog{"sending!"});
    target.reset();
    worker.join();
    FQueue.ProcessMessages();
    EXPECT_EQ(Logged(), (TLog{"sending!", "returned!"}));
}

} // namespace
} // namespace vsr
