#pragma once
// TDll: a library file whose routines are bound lazily. Nothing is loaded when the object is
// made; the first call of any entry loads the file, and each entry is looked up by name at
// its own first call. A bound entry's address is kept, so later calls go straight to the
// routine. Unload (and a change of FileName) returns every entry to the unbound state.
//
// Threads: no lock guards loading, unloading or FileName; the program makes these calls from
// one thread. Reading a bound address is an atomic load, so calls of bound entries may come
// from any thread while nothing unloads.

#include "audio/DllEntry.h"
#include "platform/DynamicLibrary.h"
#include "shell/Exception.h"

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace vsr {

// A library or one of its routines could not be found.
class EDllError : public Exception {
public:
    using Exception::Exception;
};

class TDll {
public:
    // Registers the object with Dlls(); loads nothing.
    TDll(std::string fileName, std::vector<TDllEntry> entries);
    // Leaves Dlls(), then Unload.
    virtual ~TDll();
    TDll(const TDll&) = delete;
    TDll& operator=(const TDll&) = delete;

    const std::string& FileName() const { return FFileName; }
    // A name that differs from the current one without regard to case unloads the module
    // first; an equal name changes nothing.
    void SetFileName(const std::string& fileName);

    // The module handle, loading the file if needed; nullptr when loading fails.
    virtual TModuleHandle Load();
    // Load succeeds (loads the module if needed).
    bool Available() { return Load() != nullptr; }
    // The module is loaded now (loads nothing).
    bool Loaded() const { return FHandle != nullptr; }
    // Returns every entry to the unbound state and frees the module.
    void Unload();
    // The module handle, loading it if needed; raises EDllError when it cannot be loaded.
    TModuleHandle HandleNeeded();

    int Count() const { return static_cast<int>(FEntries.size()); }
    const TDllEntry& Entry(int index) const { return FEntries.at(static_cast<std::size_t>(index)); }
    // The routine's address once the entry is bound, nullptr while it is not.
    void* BoundProc(int index) const;
    // Looks the entry up (loading the module if needed) and binds it; raises EDllError when
    // the library or the routine cannot be found, or index lies outside the table.
    void* Resolve(int index);
    // The bound address, binding the entry first if needed.
    void* ProcNeeded(int index) {
        void* proc = BoundProc(index);
        return proc ? proc : Resolve(index);
    }

private:
    [[noreturn]] void RaiseRoutineError(const std::string& entryText,
                                        const std::string& reason) const;

    std::string FFileName;
    std::vector<TDllEntry> FEntries;
    std::unique_ptr<std::atomic<void*>[]> FProcs;
    TModuleHandle FHandle = nullptr;
};

} // namespace vsr
