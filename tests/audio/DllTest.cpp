// The lazy library binding, against the built sound library.

#include "audio/Dll.h"
#include "audio/DllProc.h"
#include "audio/Dlls.h"
#include "sndkit/StandInControls.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

namespace vsr {
namespace {

struct TNotice {
    const TDll* Dll;
    TDllNotifyReason Reason;
    int Index;
    bool operator==(const TNotice&) const = default;
};

TDll* CurrentDll = nullptr;
TDll& CurrentLibrary() {
    return *CurrentDll;
}
// Typed callers over the test's library object, by index into Entries().
constexpr TDllProc<int()> CallIsInitialized{CurrentLibrary, 0};
constexpr TDllProc<int(void*)> CallGetEncoderFrameSize{CurrentLibrary, 1};
constexpr TDllProc<int()> CallNoSuchRoutine{CurrentLibrary, 2};
constexpr TDllProc<int(int, void**)> CallInitSpeexEncoder{CurrentLibrary, 3};
constexpr TDllProc<void()> CallOrdinal{CurrentLibrary, 4};
constexpr TDllProc<void(void**)> CallDoneSpeexEncoder{CurrentLibrary, 5};
constexpr TDllProc<void()> CallOutOfRange{CurrentLibrary, 6};

std::vector<TDllEntry> Entries() {
    return {"IsInitialized",    "GetEncoderFrameSize",   "NoSuchRoutine",
            "InitSpeexEncoder", TDllEntry::ByOrdinal(7), "DoneSpeexEncoder"};
}

class Dll : public ::testing::Test {
protected:
    Dll() {
        CurrentDll = &FDll;
        Dlls().OnDllNotify = [this](TDll& dll, TDllNotifyReason reason, int index) {
            FNotices.push_back({&dll, reason, index});
        };
    }
    ~Dll() override {
        FDll.Unload();
        Dlls().OnDllNotify = nullptr;
        CurrentDll = nullptr;
    }
    int CountOf(TDllNotifyReason reason) const {
        return static_cast<int>(
            std::count_if(FNotices.begin(), FNotices.end(),
                          [&](const TNotice& n) { return n.Reason == reason; }));
    }
    // The message of the EDllError that action raises.
    template <typename F> static std::string ErrorOf(F action) {
        try {
            action();
        } catch (const EDllError& e) {
            return e.Message();
        }
        return "no error";
    }

    std::vector<TNotice> FNotices;
    TDll FDll{VSR_SNDKIT_PATH, Entries()};
};

TEST_F(Dll, CreatingLoadsNothingAndDestroyingUnregistersAndUnloads) {
    const int before = Dlls().Count();
    std::uintptr_t address = 0; // compared only, never used once the object is gone
    {
        TDll dll(VSR_SNDKIT_PATH, Entries());
        address = reinterpret_cast<std::uintptr_t>(&dll);
        EXPECT_EQ(dll.Count(), 6);
        EXPECT_FALSE(dll.Loaded());
        EXPECT_TRUE(FNotices.empty());
        EXPECT_EQ(Dlls().Count(), before + 1);
        for (int i = 0; i < dll.Count(); ++i)
            EXPECT_EQ(dll.BoundProc(i), nullptr);
        dll.Resolve(0);
    }
    EXPECT_EQ(Dlls().Count(), before);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(FNotices.back().Dll), address);
    EXPECT_EQ(FNotices.back().Reason, TDllNotifyReason::Unloaded);
}

TEST_F(Dll, FirstCallLoadsOnceAndBindsEachEntryOnItsOwnFirstCall) {
    const int initialized = CallIsInitialized();
    const std::vector<TNotice> afterFirst = {{&FDll, TDllNotifyReason::Loaded, -1},
                                             {&FDll, TDllNotifyReason::EntryBound, 0}};
    EXPECT_EQ(FNotices, afterFirst);
    EXPECT_EQ(CallIsInitialized(), initialized);
    EXPECT_EQ(FNotices.size(), 2u) << "a bound entry is not looked up again";

    void* encoder = nullptr;
    ASSERT_EQ(CallInitSpeexEncoder(1, &encoder), 0);
    EXPECT_EQ(CallGetEncoderFrameSize(encoder), 160);
    CallDoneSpeexEncoder(&encoder);
    EXPECT_EQ(encoder, nullptr);
    EXPECT_EQ(CountOf(TDllNotifyReason::Loaded), 1);
    EXPECT_EQ(CountOf(TDllNotifyReason::EntryBound), 4);
    EXPECT_EQ(FNotices[2], (TNotice{&FDll, TDllNotifyReason::EntryBound, 3}));

    // A bound entry holds the routine's address until Unload.
    void* direct = dlopen(VSR_SNDKIT_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(direct, nullptr) << "the binding keeps the module loaded";
    EXPECT_EQ(FDll.BoundProc(0), dlsym(direct, "IsInitialized"));
    dlclose(direct);
    FDll.Unload();
    EXPECT_FALSE(FDll.Loaded());
    for (int i = 0; i < FDll.Count(); ++i)
        EXPECT_EQ(FDll.BoundProc(i), nullptr);
    EXPECT_EQ(FNotices.back(), (TNotice{&FDll, TDllNotifyReason::Unloaded, -1}));
    CallIsInitialized(); // loads and binds again
    EXPECT_EQ(CountOf(TDllNotifyReason::Loaded), 2);
    EXPECT_NE(FDll.BoundProc(0), nullptr);
}

TEST_F(Dll, FileNameInOtherCaseKeepsTheModuleAnotherNameUnloadsFirst) {
    std::string toUpper = VSR_SNDKIT_PATH;
    std::transform(toUpper.begin(), toUpper.end(), toUpper.begin(), ::toupper);
    CallIsInitialized();
    FDll.SetFileName(toUpper);
    EXPECT_TRUE(FDll.Loaded());
    EXPECT_EQ(FDll.FileName(), VSR_SNDKIT_PATH) << "an equal name changes nothing";
    EXPECT_NE(FDll.BoundProc(0), nullptr);

    std::string nameWhenUnloaded;
    Dlls().OnDllNotify = [&](TDll& dll, TDllNotifyReason reason, int index) {
        FNotices.push_back({&dll, reason, index});
        if (reason == TDllNotifyReason::Unloaded && nameWhenUnloaded.empty())
            nameWhenUnloaded = dll.FileName();
    };
    test::TStandInControls standIn;
    standIn.Set(5, 160, 29, 0x2A);
    FDll.SetFileName(VSR_STANDIN_SNDKIT_PATH);
    EXPECT_FALSE(FDll.Loaded());
    EXPECT_EQ(FDll.BoundProc(0), nullptr);
    EXPECT_EQ(nameWhenUnloaded, VSR_SNDKIT_PATH) << "unloaded before the new name was stored";
    EXPECT_EQ(CallIsInitialized(), 0x2A) << "the next call reaches the other library";
    FDll.Unload(); // before the handler's captures go out of scope
}

TEST_F(Dll, AMissingOrEmptyLibraryIsReportedAtEveryCall) {
    const std::string path = "/nonexistent/folder/libnothing.so";
    FDll.SetFileName(path);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string message = ErrorOf([] { CallIsInitialized(); });
        const std::string prefix = "Could not find the library: \"" + path + "\"\r\n(";
        ASSERT_TRUE(message.starts_with(prefix)) << message;
        EXPECT_TRUE(message.ends_with(")"));
        EXPECT_NE(message.find("libnothing.so", prefix.size()), std::string::npos) << message;
    }
    FDll.SetFileName("");
    EXPECT_FALSE(FDll.Available());
    EXPECT_THROW(FDll.HandleNeeded(), EDllError);
    EXPECT_FALSE(FDll.Loaded());
    EXPECT_TRUE(FNotices.empty());
}

TEST_F(Dll, AMissingRoutineIsReportedAtEveryCallAndLeavesOthersWorking) {
    const std::string library = "\" in the library \"" + std::string(VSR_SNDKIT_PATH) + "\"\r\n(";
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::string message = ErrorOf([] { CallNoSuchRoutine(); });
        EXPECT_TRUE(message.starts_with("Could not find the routine \"NoSuchRoutine" + library))
            << message;
        EXPECT_NE(message.find("undefined symbol: NoSuchRoutine"), std::string::npos) << message;
        EXPECT_TRUE(message.ends_with(")"));
    }
    EXPECT_EQ(FDll.BoundProc(2), nullptr);
    EXPECT_EQ(CountOf(TDllNotifyReason::EntryBound), 0);
    EXPECT_NO_THROW(CallIsInitialized());

    EXPECT_TRUE(ErrorOf([] {
                    CallOrdinal();
                }).starts_with("Could not find the routine \"ordinal #7" + library));
    FDll.Unload();
    FNotices.clear();
    EXPECT_TRUE(
        ErrorOf([] {
            CallOutOfRange();
        }).starts_with("Could not find the routine \"DLL-entry index out of range (6)" + library));
    EXPECT_THROW(FDll.Resolve(-1), EDllError);
    EXPECT_FALSE(FDll.Loaded()) << "an index outside the table loads nothing";
    EXPECT_TRUE(FNotices.empty());
}

} // namespace
} // namespace vsr
