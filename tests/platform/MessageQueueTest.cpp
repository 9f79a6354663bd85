#include "platform/MessageQueueCases.h"
#include "platform/PlainMessageQueue.h"

namespace vsr {

std::unique_ptr<TMessageQueue> CreateQueueUnderTest() {
    return std::make_unique<TPlainMessageQueue>();
}

namespace {

TEST(MessageQueueSelection, DefaultIsThePlainQueue) {
    EXPECT_NE(dynamic_cast<TPlainMessageQueue*>(&MessageQueue()), nullptr);
}

TEST_F(MessageQueueTest, SendToATargetWhoseThreadEndedIsNotDelivered) {
    std::unique_ptr<TMessageTarget> target;
    std::thread([&] { target = FQueue.CreateTarget(FRecorder.Handler()); }).join();
    EXPECT_EQ(target->Send({1, 0, 0}), TSendResult::NotDelivered);
    EXPECT_TRUE(FRecorder.Numbers().empty());
}

} // namespace
} // namespace vsr
