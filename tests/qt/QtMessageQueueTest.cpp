// The Qt message queue: the cases every queue passes, and its fit into Qt's event loop.
#include "platform/qt/QtMessageQueue.h"
#include "platform/MessageQueueCases.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

namespace vsr {

std::unique_ptr<TMessageQueue> CreateQueueUnderTest() {
    return std::make_unique<TQtMessageQueue>();
}

namespace {

TEST(QtMessageQueueSelection, TheGuiInstallsTheQtQueue) {
    EXPECT_NE(dynamic_cast<TQtMessageQueue*>(&MessageQueue()), nullptr);
}

TEST_F(MessageQueueTest, PostedMessagesAreHandledByARunningEventLoop) {
    auto target = FQueue.CreateTarget(FRecorder.Handler());
    QEventLoop loop;
    target->Post({1034, 1, 2});
    target->Post({1114, 3, 4});
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(FRecorder.Numbers(), (std::vector<std::uint32_t>{1034, 1114}));
    EXPECT_EQ(FRecorder.Messages()[1].LParam, 4);
}

TEST_F(MessageQueueTest, ASendFromAWorkerIsHandledByARunningEventLoop) {
    auto target = FQueue.CreateTarget(FRecorder.Handler());
    QEventLoop loop;
    auto quitter = FQueue.CreateTarget([&](const TMessage&) { loop.quit(); });
    TSendResult result = TSendResult::NotDelivered;
    std::thread worker([&] {
        result = target->Send({2048, 0, 0});
        quitter->Post({1, 0, 0});
    });
    loop.exec();
    worker.join();
    EXPECT_EQ(result, TSendResult::Delivered);
    EXPECT_EQ(FRecorder.Threads().at(0), std::this_thread::get_id());
}

} // namespace
} // namespace vsr
