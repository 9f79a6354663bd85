#include "audio/Dlls.h"

#include <algorithm>

namespace vsr {

int TDlls::Count() const {
    std::lock_guard lock(FMutex);
    return static_cast<int>(FItems.size());
}

bool TDlls::Contains(const TDll& dll) const {
    std::lock_guard lock(FMutex);
    return std::find(FItems.begin(), FItems.end(), &dll) != FItems.end();
}

void TDlls::Add(TDll& dll) {
    std::lock_guard lock(FMutex);
    FItems.push_back(&dll);
}

void TDlls::Remove(TDll& dll) {
    std::lock_guard lock(FMutex);
    std::erase(FItems, &dll);
}

void TDlls::Notify(TDll& dll, TDllNotifyReason reason, int index) const {
    if (OnDllNotify)
        OnDllNotify(dll, reason, index);
}

TDlls& Dlls() {
    static TDlls dlls;
    return dlls;
}

} // namespace vsr
