// The message queue and TBackExec cases on the plain queue, the core's; and TFreeList, which
// lives beside TBackExec.
#include "base/BackExecCases.h"
#include "base/FreeList.h"
#include "platform/PlainMessageQueue.h"

namespace vsr {
namespace {

TEST_F(MessageQueueTest, ThePlainQueueDeliversNoSendToATargetWhoseThreadEnded) {
    ASSERT_NE(dynamic_cast<TPlainMessageQueue*>(&FQueue), nullptr);
    std::unique_ptr<TMessageTarget> target;
    std::thread([&] { target = FQueue.CreateTarget(Recorder()); }).join();
    EXPECT_NE(target->OwnerThread(), std::this_thread::get_id());
    EXPECT_EQ(target->Send({1, 0, 0}), TSendResult::NotDelivered);
}

// Logs its destruction, so that the log shows which operations free items.
struct TTracked {
    std::string Name;
    TLog& Log;
    ~TTracked() { Log.push_back("free " + Name); }
};

// Releases its items its own way, as the lists of plain records do.
struct TCountingList : TFreeList<TTracked> {
    int Released = 0;
    void FreeItem(std::size_t index) override { ++Released, TFreeList::FreeItem(index); }
};

TEST(FreeList, OwnsItsItemsAndReportsChangesOutsideUpdates) {
    TLog log;
    {
        TCountingList list;
        const auto add = [&](const char* name) {
            list.Add(std::unique_ptr<TTracked>(new TTracked{name, log}));
        };
        for (const char* name : {"a", "b", "c", "d", "e"})
            add(name);
        list.OnChange = [&](TFreeList<TTracked>&) { log.push_back("change"); };
        auto taken = list.Delete(1); // handed back, not freed
        list.FreeItem(0);            // freed in place, not reported
        EXPECT_EQ(list.Item(0), nullptr);
        list.BeginUpdate();
        list.BeginUpdate();
        list.DeleteItem(1);
        list.EndUpdate();
        list.EndUpdate();
        EXPECT_EQ(list.Count(), 3u);
        list.FreeAll(); // from the end, past the freed entry, one report
        add("f");
        list.Clear(); // without FreeItem
        EXPECT_TRUE(list.Empty() && list.Released == 5);
        add("x");
        add("y");
    } // destroying frees from the end and reports nothing
    EXPECT_EQ(log,
              (TLog{"change", "free a", "free c", "change", "free e", "free d", "change", "change",
                    "free f", "change", "change", "change", "free b", "free y", "free x"}));
}

} // namespace
} // namespace vsr
