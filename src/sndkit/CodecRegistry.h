#pragma once
// What the library holds between calls: the live decoders and encoders, found by their
// handles, and the "initialised" flag. A handle that the registry does not know (never made,
// already released, or released by DeinitDll) is refused, so a stale handle cannot reach
// freed memory. One lock serialises every entry point.

#include "sndkit/SpeexCodecs.h"

#include <map>
#include <memory>
#include <mutex>

namespace vsr::sndkit {

template <typename T> class THandleTable {
public:
    void* Add(std::unique_ptr<T> item) {
        void* handle = item.get();
        FItems.emplace(handle, std::move(item));
        return handle;
    }
    T* Find(void* handle) const {
        const auto it = FItems.find(handle);
        return it == FItems.end() ? nullptr : it->second.get();
    }
    void Remove(void* handle) { FItems.erase(handle); }
    void Clear() { FItems.clear(); }
    std::size_t Count() const { return FItems.size(); }

private:
    std::map<void*, std::unique_ptr<T>> FItems;
};

struct TCodecRegistry {
    std::mutex Mutex;
    THandleTable<TSpeexDecoder> Decoders;
    THandleTable<TSpeexEncoder> Encoders;
    bool Initialized = false;
    void (*DebugHook)(const char* text) = nullptr;
};

TCodecRegistry& Registry();

} // namespace vsr::sndkit
