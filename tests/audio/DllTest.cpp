// The lazy library binding, against the built sound library.

#include "audio/Dll.h"
#include "audio/DllProc.h"
#include "audio/Dlls.h"
#include "sndkit/StandInControls.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
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

// Records every notice of the register while the object lives.
class TNoticeLog {
public:
    TNoticeLog() {
        Dlls().OnDllNotify = [this](TDll& dll, TDllNotifyReason reason, int index) {
            Notices.push_back({&dll, reason, index});
        };
    }
    ~TNoticeLog() { Dlls().OnDllNotify = nullptr; }
    TNoticeLog(const TNoticeLog&) = delete;
    TNoticeLog& operator=(const TNoticeLog&) = delete;

    int CountOf(TDllNotifyReason reason) const {
        return static_cast<int>(std::count_if(
            Notices.begin(), Notices.end(), [&](const TNotice& n) { return n.Reason == reason; }));
    }
    std::vector<TNotice> Notices;
};

std::string ToUpper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

class Dll : public ::testing::Test {
protected:
    std::vector<TDllEntry> Entries() {
        return {"IsInitialized",    "GetEncoderFrameSize",   "NoSuchRoutine",
                "InitSpeexEncoder", TDllEntry::ByOrdinal(7), "DoneSpeexEncoder"};
    }
    TNoticeLog Log;
};

// Typed callers over a test-local library object.
TDll* CurrentDll = nullptr;
TDll& CurrentLibrary() {
    return *CurrentDll;
}
constexpr TDllProc<int()> CallIsInitialized{CurrentLibrary, 0};
constexpr TDllProc<int(void*)> CallGetEncoderFrameSize{CurrentLibrary, 1};
constexpr TDllProc<int()> CallNoSuchRoutine{CurrentLibrary, 2};
constexpr TDllProc<int(int, void**)> CallInitSpeexEncoder{CurrentLibrary, 3};
constexpr TDllProc<void()> CallOrdinal{CurrentLibrary, 4};
constexpr TDllProc<void(void**)> CallDoneSpeexEncoder{CurrentLibrary, 5};
constexpr TDllProc<void()> CallOutOfRange{CurrentLibrary, 6};

class DllCalls : public Dll {
protected:
    void SetUp() override { CurrentDll = &FDll; }
    void TearDown() override { CurrentDll = nullptr; }
    TDll FDll{VSR_SNDKIT_PATH, Entries()};
};

TEST_F(Dll, CreatingLoadsNothingAndRegisters) {
    const int before = Dlls().Count();
    {
        TDll dll(VSR_SNDKIT_PATH, Entries());
        EXPECT_EQ(dll.Count(), 6);
        EXPECT_FALSE(dll.Loaded());
        EXPECT_TRUE(Log.Notices.empty());
        EXPECT_TRUE(Dlls().Contains(dll));
        EXPECT_EQ(Dlls().Count(), before + 1);
        for (int i = 0; i < dll.Count(); ++i)
            EXPECT_EQ(dll.BoundProc(i), nullptr);
    }
    EXPECT_EQ(Dlls().Count(), before);
    EXPECT_TRUE(Log.Notices.empty()) << "destroying an unloaded library reports nothing";
}

TEST_F(DllCalls, FirstCallLoadsOnceAndBindsEachEntryOnItsOwnFirstCall) {
    const int initialized = CallIsInitialized();
    EXPECT_TRUE(FDll.Loaded());
    const std::vector<TNotice> afterFirst = {{&FDll, TDllNotifyReason::Loaded, -1},
                                             {&FDll, TDllNotifyReason::EntryBound, 0}};
    EXPECT_EQ(Log.Notices, afterFirst);
    EXPECT_EQ(CallIsInitialized(), initialized);
    EXPECT_EQ(Log.Notices.size(), 2u) << "a bound entry is not looked up again";

    void* encoder = nullptr;
    ASSERT_EQ(CallInitSpeexEncoder(1, &encoder), 0);
    EXPECT_EQ(CallGetEncoderFrameSize(encoder), 160);
    CallDoneSpeexEncoder(&encoder);
    EXPECT_EQ(encoder, nullptr);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::Loaded), 1);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::EntryBound), 4);
    EXPECT_EQ(Log.Notices[2], (TNotice{&FDll, TDllNotifyReason::EntryBound, 3}));
}

TEST_F(DllCalls, BoundEntryHoldsTheRoutineAddressUntilUnload) {
    CallIsInitialized();
    void* direct = dlopen(VSR_SNDKIT_PATH, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(direct, nullptr) << "the binding keeps the module loaded";
    EXPECT_EQ(FDll.BoundProc(0), dlsym(direct, "IsInitialized"));
    dlclose(direct);
    EXPECT_EQ(FDll.BoundProc(1), nullptr);

    FDll.Unload();
    EXPECT_FALSE(FDll.Loaded());
    EXPECT_EQ(FDll.BoundProc(0), nullptr);
    EXPECT_EQ(Log.Notices.back(), (TNotice{&FDll, TDllNotifyReason::Unloaded, -1}));

    // The next call loads again and binds again.
    CallIsInitialized();
    EXPECT_TRUE(FDll.Loaded());
    EXPECT_NE(FDll.BoundProc(0), nullptr);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::Loaded), 2);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::EntryBound), 2);
}

TEST_F(DllCalls, SameFileNameInOtherCaseKeepsTheModule) {
    ASSERT_TRUE(FDll.Available());
    CallIsInitialized();
    FDll.SetFileName(ToUpper(VSR_SNDKIT_PATH));
    EXPECT_TRUE(FDll.Loaded());
    EXPECT_EQ(FDll.FileName(), VSR_SNDKIT_PATH) << "an equal name changes nothing";
    EXPECT_NE(FDll.BoundProc(0), nullptr);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::Unloaded), 0);
}

TEST_F(DllCalls, AnotherFileNameUnloadsFirst) {
    CallIsInitialized();
    std::string nameWhenUnloaded;
    Dlls().OnDllNotify = [&](TDll& dll, TDllNotifyReason reason, int index) {
        Log.Notices.push_back({&dll, reason, index});
        if (reason == TDllNotifyReason::Unloaded && nameWhenUnloaded.empty())
            nameWhenUnloaded = dll.FileName();
    };
    test::TStandInControls standIn;
    standIn.Set(5, 160, 29, 0x2A);
    FDll.SetFileName(VSR_STANDIN_SNDKIT_PATH);
    EXPECT_FALSE(FDll.Loaded());
    EXPECT_EQ(FDll.BoundProc(0), nullptr);
    EXPECT_EQ(FDll.FileName(), VSR_STANDIN_SNDKIT_PATH);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::Unloaded), 1);
    EXPECT_EQ(nameWhenUnloaded, VSR_SNDKIT_PATH) << "unloaded before the new name was stored";

    // The next call reaches the other library.
    EXPECT_EQ(CallIsInitialized(), 0x2A);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::Loaded), 2);
    FDll.Unload(); // before the handler's captures go out of scope
}

TEST_F(Dll, EmptyFileNameIsNotAvailable) {
    TDll dll("", Entries());
    EXPECT_FALSE(dll.Available());
    EXPECT_FALSE(dll.Loaded());
    EXPECT_TRUE(Log.Notices.empty());
    EXPECT_THROW(dll.HandleNeeded(), EDllError);
}

TEST_F(Dll, MissingLibraryIsReportedAtEveryCall) {
    const std::string path = "/nonexistent/folder/libnothing.so";
    TDll dll(path, Entries());
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            dll.Resolve(0);
            ADD_FAILURE() << "no error for a missing library";
        } catch (const EDllError& e) {
            const std::string prefix = "Could not find the library: \"" + path + "\"\r\n(";
            const std::string message = e.Message();
            ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
            EXPECT_EQ(message.back(), ')');
            // The system's own reason names the file.
            const std::string reason = message.substr(prefix.size());
            EXPECT_NE(reason.find("libnothing.so"), std::string::npos) << message;
        }
    }
    EXPECT_FALSE(dll.Loaded());
    EXPECT_TRUE(Log.Notices.empty());
}

TEST_F(DllCalls, MissingRoutineIsReportedAtEveryCallAndLeavesOthersWorking) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            CallNoSuchRoutine();
            ADD_FAILURE() << "no error for a missing routine";
        } catch (const EDllError& e) {
            const std::string prefix =
                "Could not find the routine \"NoSuchRoutine\" in the library \"" +
                std::string(VSR_SNDKIT_PATH) + "\"\r\n(";
            const std::string message = e.Message();
            ASSERT_EQ(message.rfind(prefix, 0), 0u) << message;
            EXPECT_NE(message.find("undefined symbol: NoSuchRoutine", prefix.size()),
                      std::string::npos)
                << message;
            EXPECT_EQ(message.substr(message.size() - 1), ")");
        }
    }
    EXPECT_EQ(FDll.BoundProc(2), nullptr);
    EXPECT_TRUE(FDll.Loaded());
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::EntryBound), 0);
    EXPECT_EQ(Log.CountOf(TDllNotifyReason::Loaded), 1);
    EXPECT_NO_THROW(CallIsInitialized());
}

TEST_F(DllCalls, OrdinalAndOutOfRangeEntriesAreNamedInTheError) {
    try {
        CallOrdinal();
        ADD_FAILURE() << "an ordinal entry was bound";
    } catch (const EDllError& e) {
        EXPECT_EQ(e.Message().rfind("Could not find the routine \"ordinal #7\" in the library \"" +
                                        std::string(VSR_SNDKIT_PATH) + "\"\r\n(",
                                    0),
                  0u)
            << e.Message();
    }
    FDll.Unload();
    Log.Notices.clear();
    try {
        CallOutOfRange();
        ADD_FAILURE() << "an entry outside the table was bound";
    } catch (const EDllError& e) {
        EXPECT_EQ(e.Message().rfind("Could not find the routine \"DLL-entry index out of range "
                                    "(6)\" in the library \"" +
                                        std::string(VSR_SNDKIT_PATH) + "\"\r\n(",
                                    0),
                  0u)
            << e.Message();
    }
    EXPECT_THROW(FDll.Resolve(-1), EDllError);
    EXPECT_FALSE(FDll.Loaded()) << "an index outside the table loads nothing";
    EXPECT_TRUE(Log.Notices.empty());
}

TEST_F(DllCalls, DestroyingUnloads) {
    const TDll* address = nullptr;
    {
        TDll other(VSR_SNDKIT_PATH, Entries());
        address = &other;
        ASSERT_TRUE(other.Available());
        other.Resolve(0);
    }
    EXPECT_EQ(Log.Notices.back(), (TNotice{address, TDllNotifyReason::Unloaded, -1}));
}

} // namespace
} // namespace vsr
