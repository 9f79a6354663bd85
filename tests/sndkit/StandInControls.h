#pragma once
// The controls of the stand-in sound library (tests/sndkit/standin), reached directly.

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <stdexcept>
#include <string>

namespace vsr::test {

class TStandInControls {
public:
    TStandInControls() : FModule(dlopen(VSR_STANDIN_SNDKIT_PATH, RTLD_NOW)) {
        EXPECT_NE(FModule, nullptr) << dlerror();
    }
    ~TStandInControls() {
        if (FModule)
            dlclose(FModule);
    }
    TStandInControls(const TStandInControls&) = delete;
    TStandInControls& operator=(const TStandInControls&) = delete;

    // Also clears the counters and the call log.
    void Set(int initResult, int frameSize, int encodeResult, int initialized) const {
        Proc<void (*)(int, int, int, int)>("StandInSet")(initResult, frameSize, encodeResult,
                                                         initialized);
    }
    std::string CallLog() const { return Proc<const char* (*)()>("StandInCallLog")(); }
    int DoneCalls() const { return Proc<int (*)()>("StandInDoneCalls")(); }
    int DoneCallsWithNullHandle() const {
        return Proc<int (*)()>("StandInDoneCallsWithNullHandle")();
    }
    int DeinitCalls() const { return Proc<int (*)()>("StandInDeinitCalls")(); }
    int EncodeInBytes() const { return Proc<int (*)()>("StandInEncodeInBytes")(); }
    bool EncodeInWasSilence() const { return Proc<int (*)()>("StandInEncodeInWasSilence")() != 0; }

private:
    template <typename F> F Proc(const char* name) const {
        auto proc = reinterpret_cast<F>(dlsym(FModule, name));
        if (!proc)
            throw std::runtime_error(std::string("stand-in library lacks ") + name);
        return proc;
    }
    void* FModule;
};

} // namespace vsr::test
