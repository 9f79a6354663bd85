#pragma once
// TDlls: the process-wide register of every live TDll and the one place that reports what
// the library objects do (OnDllNotify). The register does not own the TDll objects: whoever
// makes a TDll owns it; the object enters the register in its constructor and leaves it in
// its destructor. Dlls() exists from its first use to program end and outlives every TDll
// made after it.

#include <functional>
#include <mutex>
#include <vector>

namespace vsr {

class TDll;

enum class TDllNotifyReason { Loaded = 0, Unloaded = 1, EntryBound = 2 };

// Index is the entry's index for EntryBound and -1 otherwise.
using TDllNotifyEvent = std::function<void(TDll& dll, TDllNotifyReason reason, int index)>;

class TDlls {
public:
    TDlls() = default;
    TDlls(const TDlls&) = delete;
    TDlls& operator=(const TDlls&) = delete;

    // Unassigned by the player; tests watch loading and binding through it.
    TDllNotifyEvent OnDllNotify;

    int Count() const;
    bool Contains(const TDll& dll) const;

    // Called by TDll only.
    void Add(TDll& dll);
    void Remove(TDll& dll);
    void Notify(TDll& dll, TDllNotifyReason reason, int index) const;

private:
    mutable std::mutex FMutex;
    std::vector<TDll*> FItems;
};

TDlls& Dlls();

} // namespace vsr
