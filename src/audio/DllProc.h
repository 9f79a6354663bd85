#pragma once
// TDllProc<R(Args...)>: a typed entry of a TDll, callable like the routine itself. The first
// call binds the entry (loading the library if needed; EDllError reaches the caller when
// that fails); later calls read the bound address and call the routine directly.
//
// It holds no state of its own: the bound address lives in the TDll's table, so Unload
// returns the entry to the unbound state. The library is reached through a function, which
// lets entry objects be constants that need no start-up order.

#include "audio/Dll.h"

namespace vsr {

template <typename F> class TDllProc;

template <typename R, typename... TArgs> class TDllProc<R(TArgs...)> {
public:
    using TLibraryGetter = TDll& (*)();

    constexpr TDllProc(TLibraryGetter library, int index) : FLibrary(library), FIndex(index) {}

    R operator()(TArgs... args) const {
        void* proc = FLibrary().ProcNeeded(FIndex);
        return reinterpret_cast<R (*)(TArgs...)>(proc)(args...);
    }

    TDll& Library() const { return FLibrary(); }
    int Index() const { return FIndex; }

private:
    TLibraryGetter FLibrary;
    int FIndex;
};

} // namespace vsr
