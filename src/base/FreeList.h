#pragma once
// TFreeList: a list that owns its items and reports changes.
//
// Items are owned through std::unique_ptr. Delete hands the item back to the caller instead
// of freeing it; FreeItem frees an item but keeps its (now empty) entry; DeleteItem does
// both. OnChange is raised after every change unless an update is in progress.

#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace vsr {

template <typename T> class TFreeList {
public:
    using TChangeEvent = std::function<void(TFreeList& sender)>;

    TFreeList() = default;
    virtual ~TFreeList() {
        OnChange = nullptr; // observers may already be gone
        FreeAll();
    }
    TFreeList(const TFreeList&) = delete;
    TFreeList& operator=(const TFreeList&) = delete;

    TChangeEvent OnChange;

    std::size_t Count() const { return FItems.size(); }
    bool Empty() const { return FItems.empty(); }
    // The item at index, or nullptr when it was freed with FreeItem.
    T* Item(std::size_t index) const { return FItems.at(index).get(); }
    T& operator[](std::size_t index) const { return *FItems[index]; }

    void Changed() {
        if (FUpdateCount == 0 && OnChange)
            OnChange(*this);
    }
    void BeginUpdate() { ++FUpdateCount; }
    void EndUpdate() {
        --FUpdateCount;
        Changed();
    }

    void Reserve(std::size_t count) { FItems.reserve(count); }

    std::size_t Add(std::unique_ptr<T> item) {
        FItems.push_back(std::move(item));
        Changed();
        return FItems.size() - 1;
    }
    std::unique_ptr<T> Delete(std::size_t index) {
        std::unique_ptr<T> item = std::move(FItems.at(index));
        FItems.erase(FItems.begin() + static_cast<std::ptrdiff_t>(index));
        Changed();
        return item;
    }
    virtual void FreeItem(std::size_t index) { FItems.at(index).reset(); }
    void DeleteItem(std::size_t index) {
        FreeItem(index);
        Delete(index);
    }
    void Clear() {
        FItems.clear();
        Changed();
    }
    void FreeAll() {
        BeginUpdate();
        while (!FItems.empty())
            DeleteItem(FItems.size() - 1);
        Clear();
        EndUpdate();
    }

private:
    std::vector<std::unique_ptr<T>> FItems;
    int FUpdateCount = 0;
};

} // namespace vsr
