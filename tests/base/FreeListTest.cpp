#include "base/FreeList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vsr {
namespace {

// Reports its own destruction so that the tests see which operations free items.
struct TTracked {
    TTracked(std::string name, std::vector<std::string>& freed)
        : Name(std::move(name)), Freed(&freed) {}
    ~TTracked() { Freed->push_back(Name); }
    std::string Name;
    std::vector<std::string>* Freed;
};

class FreeListTest : public ::testing::Test {
protected:
    FreeListTest() {
        for (const char* name : {"a", "b", "c"})
            FList.Add(std::make_unique<TTracked>(name, FFreed));
        FList.OnChange = [this](TFreeList<TTracked>& sender) {
            EXPECT_EQ(&sender, &FList);
            ++FChanges;
        };
    }

    std::vector<std::string> FFreed; // declared first: outlives the list
    TFreeList<TTracked> FList;
    int FChanges = 0;
};

TEST_F(FreeListTest, ChangesAreReportedOutsideUpdates) {
    EXPECT_EQ(FList.Add(std::make_unique<TTracked>("d", FFreed)), 3u);
    EXPECT_EQ(FChanges, 1);
    FList.BeginUpdate();
    FList.BeginUpdate();
    auto taken = FList.Delete(0);
    FList.EndUpdate();
    EXPECT_EQ(FChanges, 1);
    FList.EndUpdate();
    EXPECT_EQ(FChanges, 2);
    FList.Clear();
    EXPECT_EQ(FChanges, 3);
}

TEST_F(FreeListTest, DeleteHandsBackFreeItemFreesInPlaceDeleteItemDoesBoth) {
    auto taken = FList.Delete(1);
    EXPECT_EQ(taken->Name, "b");
    EXPECT_TRUE(FFreed.empty());
    FList.FreeItem(0);
    EXPECT_EQ(FFreed, std::vector<std::string>{"a"});
    ASSERT_EQ(FList.Count(), 2u);
    EXPECT_EQ(FList.Item(0), nullptr);
    EXPECT_EQ(FChanges, 1) << "FreeItem reports nothing";
    FList.DeleteItem(1);
    EXPECT_EQ(FFreed, (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(FList.Count(), 1u);
    EXPECT_EQ(FChanges, 2);
}

TEST_F(FreeListTest, FreeAllFreesFromTheEndCopesWithFreedEntriesAndReportsOnce) {
    FList.FreeItem(1);
    FList.FreeAll();
    EXPECT_EQ(FFreed, (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_TRUE(FList.Empty());
    EXPECT_EQ(FChanges, 1);
}

TEST(FreeList, DestroyingFreesFromTheEndWithoutReporting) {
    std::vector<std::string> freed;
    int changes = 0;
    {
        TFreeList<TTracked> list;
        list.Add(std::make_unique<TTracked>("x", freed));
        list.Add(std::make_unique<TTracked>("y", freed));
        list.OnChange = [&](TFreeList<TTracked>&) { ++changes; };
    }
    EXPECT_EQ(freed, (std::vector<std::string>{"y", "x"}));
    EXPECT_EQ(changes, 0);
}

// A list of plain records that releases them its own way.
struct TCountingList : TFreeList<int> {
    int Released = 0;
    void FreeItem(std::size_t index) override {
        ++Released;
        TFreeList<int>::FreeItem(index);
    }
};

TEST(FreeList, DeleteItemAndFreeAllUseTheOverriddenFreeItem) {
    TCountingList list;
    for (int i = 0; i < 3; ++i)
        list.Add(std::make_unique<int>(i));
    list.DeleteItem(0);
    EXPECT_EQ(list.Released, 1);
    list.FreeAll();
    EXPECT_EQ(list.Released, 3);
}

} // namespace
} // namespace vsr
