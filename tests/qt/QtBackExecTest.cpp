// TBackExec on the Qt message queue, as the player uses it.
#include "base/BackExecCases.h"

#include "platform/qt/QtMessageQueue.h"

#include <QEventLoop>
#include <QTimer>

namespace vsr {
namespace {

TEST(BackExecQueue, RunsOnTheQtQueue) {
    EXPECT_NE(dynamic_cast<TQtMessageQueue*>(&MessageQueue()), nullptr);
}

TEST_F(BackExecTest, TheEndOfARunIsHandledByARunningEventLoop) {
    TBackExec exec;
    QEventLoop loop;
    exec.OnExec = [this](TCustomBackExec&) { FWorkerTid = CurrentThreadId(); };
    exec.OnFinished = [&](TCustomBackExec&) {
        FLog.Add("OnFinished");
        loop.quit();
    };
    exec.Execute();
    loop.exec();
    EXPECT_TRUE(exec.Finished());
    EXPECT_EQ(FLog.Names(), std::vector<std::string>{"OnFinished@main"});
}

} // namespace
} // namespace vsr
