// The message queue and TBackExec cases on the plain queue, the core's; and TFreeList, which
// lives beside TBackExec.
#include "base/BackExecCases.h"
#include "base/FreeList.h"

namespace vsr {
namespace {

TEST_F(MessageQueueTest, ThePlainQueueDeliversNoSendToATargetWhoseThreadEnded) {
    std::unique_ptr<TMessageTarget> target;
    std::thread([&] { target = FQueue.CreateTarget(FRecorder); }).join();
    EXPECT_EQ(target->Send({1, 0, 0}), TSendResult::NotDelivered);
}

// Logs its destruction, so that the log shows which operations free items.
struct TTracked {
    std::string Name;
    TLog& Log;
    ~TTracked() { Log.push_back("free " + Name); }
};

TEST(FreeList, OwnsItsItemsAndReportsChangesOutsideUpdates) {
    TLog log;
    {
        TFreeList<TTracked> list;
        const auto add = [&](const char* name) { list.Add(std::make_unique<TTracked>(name, log)); };
        for (const char* name : {"a", "b", "c", "d", "e"})
            add(name);
        list.OnChange = [&](auto&) { log.push_back("change"); };
        auto taken = list.Delete(1); // handed back, not freed
        list.FreeItem(0);            // freed in place, not reported
        EXPECT_EQ(list.Item(0), nullptr);
        list.BeginUpdate();
        list.DeleteItem(1);
        list.EndUpdate();
        EXPECT_EQ(list.Count(), 3u);
        list.FreeAll(); // from the end, past the freed entry, one report
        add("f");
        list.Clear();
        EXPECT_TRUE(list.Empty());
        add("x");
        add("y");
    } // destroying frees from the end and reports nothing
    EXPECT_EQ(log,
              (TLog{"change", "free a", "free c", "change", "free e", "free d", "change", "change",
                    "free f", "change", "change", "change", "free b", "free y", "free x"}));
}

} // namespace
} // namespace vsr
