#include "audio/SndKitLibrary.h"

#include "shell/Trace.h"

#include <vector>

namespace vsr {

TDll& SndKitLibrary() {
    static TDll library("SndKit.dll",
                        std::vector<TDllEntry>(SndKitEntryNames.begin(), SndKitEntryNames.end()));
    return library;
}

void FinishSndKitLibrary() {
    try {
        if (SndKitLibrary().Available() && (IsInitialized() & 0xFF) != 0)
            DeinitDll();
    } catch (const EDllError& e) {
        try {
            Trace(e.Message());
        } catch (const Exception&) {
            // No trace sink is left at this point; the failure has nowhere to go.
        }
    }
}

void RouteSndKitMessagesToTrace() {
    try {
        SetDebugHook([](const char* text) { TraceFmt("SndKit: %s", text); });
    } catch (const EDllError&) {
    }
}

} // namespace vsr
