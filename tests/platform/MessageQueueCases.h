#pragma once
// Cases every message queue implementation must pass. The including test file defines
// CreateQueueUnderTest.

#include "platform/MessageQueue.h"
#include "support/CaptureTracer.h"
#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vsr {

std::unique_ptr<TMessageQueue> CreateQueueUnderTest();

namespace {

using namespace std::chrono_literals;

// Records every handled message and the thread it was handled on.
class TRecorder {
public:
    TMessageHandler Handler() {
        return [this](const TMessage& m) {
            std::lock_guard lock(FLock);
            FMessages.push_back(m);
            FThreads.push_back(std::this_thread::get_id());
        };
    }
    std::vector<std::uint32_t> Numbers() const {
        std::lock_guard lock(FLock);
        std::vector<std::uint32_t> numbers;
        for (const TMessage& m : FMessages)
            numbers.push_back(m.Msg);
        return numbers;
    }
    std::vector<TMessage> Messages() const {
        std::lock_guard lock(FLock);
        return FMessages;
    }
    std::vector<std::thread::id> Threads() const {
        std::lock_guard lock(FLock);
        return FThreads;
    }

private:
    mutable std::mutex FLock;
    std::vector<TMessage> FMessages;
    std::vector<std::thread::id> FThreads;
};

// Pumps the calling thread's queue until done() or the time is up.
template <typename TDone> bool PumpUntil(TMessageQueue& queue, TDone done) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        queue.ProcessMessages();
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

class MessageQueueTest : public ::testing::Test {
protected:
    std::unique_ptr<TMessageQueue> FQueueOwner = CreateQueueUnderTest();
    TMessageQueue& FQueue = *FQueueOwner;
    TRecorder FRecorder;
    test::TWatchdog FWatchdog{"MessageQueueTest"};
};

TEST_F(MessageQueueTest, PostedMessagesWaitForProcessingAndKeepTheirOrder) {
    auto target = FQueue.CreateTarget(FRecorder.Handler());
    target->Post({1034, 7, -3});
    target->Post({1114, 0, 0});
    target->Post({1034, 8, 0});
    EXPECT_TRUE(FRecorder.Numbers().empty());
    // A send on the owner thread runs the handler at once, ahead of what was posted.
    EXPECT_EQ(target->Send({2, 0, 0}), TSendResult::Delivered);
    EXPECT_EQ(FRecorder.Numbers(), (std::vector<std::uint32_t>{2}));
    FQueue.ProcessMessages();
    EXPECT_EQ(FRecorder.Numbers(), (std::vector<std::uint32_t>{2, 1034, 1114, 1034}));
    EXPECT_EQ(FRecorder.Messages()[1].WParam, 7);
    EXPECT_EQ(FRecorder.Messages()[1].LParam, -3);
    EXPECT_EQ(FRecorder.Messages()[3].WParam, 8);
}

TEST_F(MessageQueueTest, PostsFromAWorkerAreHandledOnTheOwnerThread) {
    auto target = FQueue.CreateTarget(FRecorder.Handler());
    std::thread worker([&] {
        for (std::intptr_t i = 0; i < 100; ++i)
            target->Post({1244, i, 0});
    });
    worker.join();
    FQueue.ProcessMessages();
    const auto messages = FRecorder.Messages();
    ASSERT_EQ(messages.size(), 100u);
    for (std::size_t i = 0; i < messages.size(); ++i) {
        EXPECT_EQ(messages[i].WParam, static_cast<std::intptr_t>(i));
        EXPECT_EQ(FRecorder.Threads()[i], std::this_thread::get_id());
    }
}

TEST_F(MessageQueueTest, ProcessingHandlesOnlyWhatWasPendingWhenItBegan) {
    std::unique_ptr<TMessageTarget> target;
    int handled = 0;
    target = FQueue.CreateTarget([&](const TMessage& m) {
        ++handled;
        target->Post(m); // re-posts itself forever
    });
    target->Post({1, 0, 0});
    FQueue.ProcessMessages();
    EXPECT_EQ(handled, 1);
    FQueue.ProcessMessages();
    EXPECT_EQ(handled, 2);
}

TEST_F(MessageQueueTest, SendFromAWorkerReturnsAfterTheOwnerHandledIt) {
    std::atomic<bool> handled = false;
    std::atomic<bool> returned = false;
    std::atomic<bool> handledBeforeReturn = false;
    std::thread::id handlerThread;
    auto target = FQueue.CreateTarget([&](const TMessage&) {
        handlerThread = std::this_thread::get_id();
        handled = true;
    });
    TSendResult result = TSendResult::NotDelivered;
    std::thread worker([&] {
        result = target->Send({2048, 0, 0});
        handledBeforeReturn = handled.load();
        returned = true;
    });
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(returned) << "Send returned while the owner was not processing messages";
    EXPECT_TRUE(PumpUntil(FQueue, [&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(result, TSendResult::Delivered);
    EXPECT_TRUE(handledBeforeReturn);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST_F(MessageQueueTest, DestroyingATargetDiscardsItsPendingMessages) {
    auto doomed = FQueue.CreateTarget(FRecorder.Handler());
    TRecorder other;
    auto survivor = FQueue.CreateTarget(other.Handler());
    doomed->Post({1, 0, 0});
    survivor->Post({2, 0, 0});
    doomed->Post({3, 0, 0});
    doomed.reset();
    FQueue.ProcessMessages();
    EXPECT_TRUE(FRecorder.Numbers().empty());
    EXPECT_EQ(other.Numbers(), (std::vector<std::uint32_t>{2}));
}

TEST_F(MessageQueueTest, ASenderWaitingOnADestroyedTargetIsReleased) {
    auto target = FQueue.CreateTarget(FRecorder.Handler());
    std::atomic<bool> returned = false;
    TSendResult result = TSendResult::Delivered;
    std::thread worker([&, sender = target.get()] {
        result = sender->Send({2048, 0, 0});
        returned = true;
    });
    std::this_thread::sleep_for(100ms); // the worker is now waiting inside Send
    EXPECT_FALSE(returned);
    target.reset();
    worker.join();
    EXPECT_EQ(result, TSendResult::NotDelivered);
    FQueue.ProcessMessages();
    EXPECT_TRUE(FRecorder.Numbers().empty());
}

TEST_F(MessageQueueTest, DispatchPendingHandlesOnlyOneNumberOfOneTargetOnItsThread) {
    auto target = FQueue.CreateTarget(FRecorder.Handler());
    TRecorder other;
    auto otherTarget = FQueue.CreateTarget(other.Handler());
    target->Post({1, 1, 0});
    target->Post({2048, 2, 0});
    otherTarget->Post({2048, 3, 0});
    target->Post({2048, 4, 0});
    std::thread([&] { target->DispatchPending(2048); }).join(); // not the owner: nothing
    EXPECT_TRUE(FRecorder.Numbers().empty());
    target->DispatchPending(2048);
    ASSERT_EQ(FRecorder.Messages().size(), 2u);
    EXPECT_EQ(FRecorder.Messages()[0].WParam, 2);
    EXPECT_EQ(FRecorder.Messages()[1].WParam, 4);
    EXPECT_TRUE(other.Numbers().empty());
    FQueue.ProcessMessages();
    EXPECT_EQ(FRecorder.Numbers(), (std::vector<std::uint32_t>{2048, 2048, 1}));
    EXPECT_EQ(other.Numbers(), (std::vector<std::uint32_t>{2048}));
}

TEST_F(MessageQueueTest, OtherThreadsQueuesAreNotProcessed) {
    std::unique_ptr<TMessageTarget> foreign;
    std::atomic<bool> created = false;
    std::atomic<bool> stop = false;
    std::thread owner([&] {
        foreign = FQueue.CreateTarget(FRecorder.Handler());
        created = true;
        while (!stop)
            std::this_thread::sleep_for(1ms);
        FQueue.ProcessMessages();
        foreign.reset();
    });
    while (!created)
        std::this_thread::sleep_for(1ms);
    foreign->Post({5, 0, 0});
    FQueue.ProcessMessages(); // the main thread's queue: empty
    EXPECT_TRUE(FRecorder.Numbers().empty());
    stop = true;
    owner.join();
    EXPECT_EQ(FRecorder.Numbers(), (std::vector<std::uint32_t>{5}));
    EXPECT_NE(FRecorder.Threads()[0], std::this_thread::get_id());
}

TEST_F(MessageQueueTest, AFailingHandlerIsReportedAndDoesNotStopTheQueue) {
    test::TCaptureTracer tracer;
    auto failing = FQueue.CreateTarget([](const TMessage&) { throw std::runtime_error("boom"); });
    auto target = FQueue.CreateTarget(FRecorder.Handler());
    failing->Post({1, 0, 0});
    target->Post({2, 0, 0});
    EXPECT_NO_THROW(FQueue.ProcessMessages());
    EXPECT_EQ(FRecorder.Numbers(), (std::vector<std::uint32_t>{2}));
    EXPECT_TRUE(tracer.Contains("Exception in message handler: boom"));

    // A send to it still returns.
    std::atomic<TSendResult> result = TSendResult::NotDelivered;
    std::thread worker([&] { result = failing->Send({3, 0, 0}); });
    EXPECT_TRUE(PumpUntil(FQueue, [&] { return result == TSendResult::Delivered; }));
    worker.join();
}

TEST_F(MessageQueueTest, AHandlerMayDestroyItsOwnTarget) {
    std::unique_ptr<TMessageTarget> target;
    int handled = 0;
    target = FQueue.CreateTarget([&](const TMessage&) {
        ++handled;
        target.reset();
    });
    target->Post({1, 0, 0});
    target->Post({2, 0, 0});
    FQueue.ProcessMessages();
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(target, nullptr);
}

} // namespace
} // namespace vsr
