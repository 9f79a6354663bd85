#include "audio/Dll.h"

#include "audio/Dlls.h"
#include "shell/Format.h"

#include <algorithm>
#include <cctype>

namespace vsr {

namespace {

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

} // namespace

TDll::TDll(std::string fileName, std::vector<TDllEntry> entries)
    : FFileName(std::move(fileName)), FEntries(std::move(entries)),
      FProcs(std::make_unique<std::atomic<void*>[]>(FEntries.size())) {
    Dlls().Add(*this);
}

TDll::~TDll() {
    Dlls().Remove(*this);
    Unload();
}

void TDll::SetFileName(const std::string& fileName) {
    if (SameTextIgnoringCase(fileName, FFileName))
        return;
    Unload();
    FFileName = fileName;
}

TModuleHandle TDll::Load() {
    if (!FHandle) {
        FHandle = LoadModule(FFileName);
        if (FHandle)
            Dlls().Notify(*this, TDllNotifyReason::Loaded, -1);
    }
    return FHandle;
}

void TDll::Unload() {
    for (int i = 0; i < Count(); ++i)
        FProcs[static_cast<std::size_t>(i)].store(nullptr);
    if (FHandle) {
        FreeModule(FHandle);
        Dlls().Notify(*this, TDllNotifyReason::Unloaded, -1);
        FHandle = nullptr;
    }
}

TModuleHandle TDll::HandleNeeded() {
    if (!FHandle)
        Load();
    if (!FHandle)
        throw EDllError(
            Format("Could not find the library: \"%s\"\r\n(%s)", FFileName, LastModuleError()));
    return FHandle;
}

void* TDll::BoundProc(int index) const {
    if (index < 0 || index >= Count())
        return nullptr;
    return FProcs[static_cast<std::size_t>(index)].load();
}

void* TDll::Resolve(int index) {
    if (index < 0 || index >= Count())
        RaiseRoutineError(Format("DLL-entry index out of range (%d)", index),
                          "no such entry in the table");
    const TDllEntry& entry = FEntries[static_cast<std::size_t>(index)];
    TModuleHandle module = HandleNeeded();
    // Shared libraries here export by name only.
    if (entry.IsOrdinal())
        RaiseRoutineError(entry.NameText(), "routines cannot be looked up by ordinal number");
    void* proc = FindModuleSymbol(module, entry.Name().c_str());
    if (!proc)
        RaiseRoutineError(entry.NameText(), LastModuleError());
    Dlls().Notify(*this, TDllNotifyReason::EntryBound, index);
    FProcs[static_cast<std::size_t>(index)].store(proc);
    return proc;
}

void TDll::RaiseRoutineError(const std::string& entryText, const std::string& reason) const {
    throw EDllError(Format("Could not find the routine \"%s\" in the library \"%s\"\r\n(%s)",
                           entryText, FFileName, reason));
}

} // namespace vsr
