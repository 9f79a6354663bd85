#pragma once
// The state of the stand-in sound library (tests/sndkit/standin): the answers its entries give
// and the log of the calls they received. Shared by the library and the tests that load it.

#include <string>

#ifndef VSR_STANDIN_LIBRARY
#include <dlfcn.h>
#include <stdexcept>
#endif

namespace vsr::test {

struct TStandInState {
    int InitResult = 5; // refused until a test says otherwise
    int FrameSize = 160;
    int EncodeResult = 29;
    int Initialized = 0;
    std::string Log; // "Init(1);Start;...;Encode(320,silent);Done(handle);"
};

#ifndef VSR_STANDIN_LIBRARY
// The stand-in's state, reached directly; loading the library keeps it loaded while used.
class TStandInControls {
public:
    TStandInControls() : FModule(dlopen(VSR_STANDIN_SNDKIT_PATH, RTLD_NOW)) {
        if (!FModule)
            throw std::runtime_error(dlerror());
        FState = static_cast<TStandInState*>(dlsym(FModule, "StandInState"));
    }
    ~TStandInControls() { dlclose(FModule); }
    TStandInControls(const TStandInControls&) = delete;
    TStandInControls& operator=(const TStandInControls&) = delete;

    // Sets the answers and clears the log.
    void Set(int initResult, int frameSize, int encodeResult, int initialized) const {
        *FState = {initResult, frameSize, encodeResult, initialized, {}};
    }
    const std::string& Log() const { return FState->Log; }

private:
    void* FModule;
    TStandInState* FState = nullptr;
};
#endif

} // namespace vsr::test
