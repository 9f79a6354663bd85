// The message queue and TBackExec cases on the Qt queue, as the player uses them, and their fit
// into a running Qt event loop.
#include "base/BackExecCases.h"

#include <QEventLoop>

namespace vsr {
namespace {

TEST_F(BackExecTest, ARunningQtEventLoopHandlesAWorkersPostsAndSendsAndTheEndOfItsRun) {
    QEventLoop loop;
    auto target = FQueue.CreateTarget(FRecorder);
    TBackExec exec;
    exec.OnExec = [&](TCustomBackExec&) {
        target->Post({1034, 1, 2});
        EXPECT_EQ(target->Send({2048, 3, 4}), TSendResult::Delivered);
    };
    exec.OnFinished = [&](TCustomBackExec&) { loop.quit(); };
    exec.Execute();
    loop.exec(); // until the end of the run
    EXPECT_EQ(Logged(), (TLog{"1034:1:2", "2048:3:4"}));
}

} // namespace
} // namespace vsr
