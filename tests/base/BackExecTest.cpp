// TBackExec on the plain message queue, which the core uses unless told otherwise.
#include "base/BackExecCases.h"

#include "platform/PlainMessageQueue.h"

namespace vsr {
namespace {

TEST(BackExecQueue, RunsOnThePlainQueue) {
    EXPECT_NE(dynamic_cast<TPlainMessageQueue*>(&MessageQueue()), nullptr);
}

} // namespace
} // namespace vsr
