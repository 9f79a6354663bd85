#include "player/FreeList.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace vsr {
namespace {

// Counts its own destruction so that the tests see which operations free items.
struct TTracked {
    TTracked(std::string name, std::vector<std::string>& freed)
        : Name(std::move(name)), Freed(&freed) {}
    ~TTracked() { Freed->push_back(Name); }
    std::string Name;
    std::vector<std::string>* Freed;
};

class FreeListTest : public ::testing::Test {
protected:
    void Fill(std::initializer_list<const char*> names) {
        for (const char* name : names)
            FList.Add(std::make_unique<TTracked>(name, FFreed));
    }
    void Observe() {
        FList.OnChange = [this](TFreeList<TTracked>& sender) {
            EXPECT_EQ(&sender, &FList);
            ++FChanges;
        };
    }

    std::vector<std::string> FFreed; // declared first: outlives the list
    TFreeList<TTracked> FList;
    int FChanges = 0;
};

TEST_F(FreeListTest, EveryChangeIsReported) {
    Observe();
    EXPECT_EQ(FList.Add(std::make_unique<TTracked>("a", FFreed)), 0u);
    EXPECT_EQ(FList.Add(std::make_unique<TTracked>("b", FFreed)), 1u);
    EXPECT_EQ(FChanges, 2);
    auto taken = FList.Delete(0);
    EXPECT_EQ(FChanges, 3);
    FList.Clear();
    EXPECT_EQ(FChanges, 4);
    FList.Changed();
    EXPECT_EQ(FChanges, 5);
}

TEST_F(FreeListTest, UpdatesHoldBackReportsUntilTheLastEndUpdate) {
    Observe();
    FList.BeginUpdate();
    FList.BeginUpdate();
    Fill({"a", "b"});
    FList.EndUpdate();
    EXPECT_EQ(FChanges, 0);
    FList.EndUpdate();
    EXPECT_EQ(FChanges, 1);
    EXPECT_EQ(FList.Count(), 2u);
}

TEST_F(FreeListTest, DeleteHandsTheItemBackWithoutFreeingIt) {
    Fill({"a", "b", "c"});
    auto taken = FList.Delete(1);
    ASSERT_NE(taken, nullptr);
    EXPECT_EQ(taken->Name, "b");
    EXPECT_TRUE(FFreed.empty());
    ASSERT_EQ(FList.Count(), 2u);
    EXPECT_EQ(FList[0].Name, "a");
    EXPECT_EQ(FList[1].Name, "c");
    taken.reset();
    EXPECT_EQ(FFreed, std::vector<std::string>{"b"});
}

TEST_F(FreeListTest, FreeItemFreesTheItemButKeepsTheEntry) {
    Fill({"a", "b"});
    Observe();
    FList.FreeItem(0);
    EXPECT_EQ(FFreed, std::vector<std::string>{"a"});
    EXPECT_EQ(FList.Count(), 2u);
    EXPECT_EQ(FList.Item(0), nullptr);
    EXPECT_EQ(FList.Item(1)->Name, "b");
    EXPECT_EQ(FChanges, 0);
}

TEST_F(FreeListTest, DeleteItemFreesAndRemoves) {
    Fill({"a", "b"});
    Observe();
    FList.DeleteItem(0);
    EXPECT_EQ(FFreed, std::vector<std::string>{"a"});
    ASSERT_EQ(FList.Count(), 1u);
    EXPECT_EQ(FList[0].Name, "b");
    EXPECT_EQ(FChanges, 1);
}

TEST_F(FreeListTest, ClearForgetsEntriesOfItemsAlreadyTaken) {
    Fill({"a"});
    auto taken = FList.Delete(0);
    Fill({"b"});
    FList.FreeItem(0);
    FList.Clear();
    EXPECT_TRUE(FList.Empty());
    EXPECT_EQ(FFreed, std::vector<std::string>{"b"});
}

TEST_F(FreeListTest, FreeAllFreesFromTheEndAndReportsOnce) {
    Fill({"a", "b", "c"});
    Observe();
    FList.FreeAll();
    EXPECT_EQ(FFreed, (std::vector<std::string>{"c", "b", "a"}));
    EXPECT_TRUE(FList.Empty());
    EXPECT_EQ(FChanges, 1);
}

TEST_F(FreeListTest, FreeAllCopesWithEntriesAlreadyFreed) {
    Fill({"a", "b"});
    FList.FreeItem(1);
    FList.FreeAll();
    EXPECT_EQ(FFreed, (std::vector<std::string>{"b", "a"}));
    EXPECT_TRUE(FList.Empty());
}

TEST_F(FreeListTest, DestroyingTheListFreesItsItemsWithoutReporting) {
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
class TCountingList : public TFreeList<int> {
public:
    int Released = 0;
    void FreeItem(std::size_t index) override {
        ++Released;
        TFreeList<int>::FreeItem(index);
    }
};

TEST(FreeListOverride, DeleteItemAndFreeAllUseTheOverriddenFreeItem) {
    TCountingList list;
    list.Add(std::make_unique<int>(1));
    list.Add(std::make_unique<int>(2));
    list.Add(std::make_unique<int>(3));
    list.DeleteItem(0);
    EXPECT_EQ(list.Released, 1);
    list.FreeAll();
    EXPECT_EQ(list.Released, 3);
}

} // namespace
} // namespace vsr
