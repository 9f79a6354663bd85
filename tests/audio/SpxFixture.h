#pragma once
// Shared by the sound tests. Every SPX test calls the real sound library built beside the
// tests; the stand-in library answers what a test sets and logs the calls it receives.

#include "audio/SndKitLibrary.h"
#include "support/ErrorOf.h"
#include "support/Files.h"
#include "support/TempDir.h"
#include "support/Voice.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <vector>

namespace vsr::test {

struct TSpxTest : ::testing::Test {
    void SetUp() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
    // The stand-in's controls, reached directly: its answers (this clears its log) and its log.
    template <typename F> static F* StandIn(const char* name) {
        static void* module = dlopen(VSR_STANDIN_SNDKIT_PATH, RTLD_NOW); // kept for the process
        return reinterpret_cast<F*>(dlsym(module, name));
    }
    static void SetStandIn(int init, int frameSize, int encoded, int initialized) {
        StandIn<void(int, int, int, int)>("StandInSet")(init, frameSize, encoded, initialized);
    }
    static std::string StandInLog() { return StandIn<const char*()>("StandInLog")(); }
    TTempDir FDir;
};

} // namespace vsr::test
