// The program's binding of the sound library: its table and its finish.

#include "audio/SndKitLibrary.h"
#include "audio/Dlls.h"
#include "sndkit/StandInControls.h"

#include <gtest/gtest.h>

#include <vector>

namespace vsr {
namespace {

class SndKitLibraryTest : public ::testing::Test {
protected:
    void SetUp() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
    void TearDown() override {
        Dlls().OnDllNotify = nullptr;
        SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
    }
};

TEST(SndKitLibraryTable, SixtyEntriesInOrderWithRepeatsKept) {
    const TDll& library = SndKitLibrary();
    ASSERT_EQ(library.Count(), 60);
    const std::vector<std::pair<int, const char*>> samples = {
        {0, "SetDebugHook"},   {6, "PausePlay"},        {8, "PausePlay"},
        {9, "ContinuePlay"},   {15, "ContinueRecord"},  {19, "IsInitialized"},
        {35, "SpeexMyDecode"}, {52, "SpeexMyEncode16"}, {59, "ContinueRecord"}};
    for (const auto& [index, name] : samples)
        EXPECT_EQ(library.Entry(index).Name(), name) << index;
    EXPECT_TRUE(Dlls().Contains(library));
}

TEST_F(SndKitLibraryTest, FinishCallsDeinitOnlyWhenInitialized) {
    void* decoder = nullptr;
    ASSERT_EQ(InitSpeexDecoder(1, &decoder), 0);
    EXPECT_NE(IsInitialized() & 0xFF, 0);
    FinishSndKitLibrary();
    EXPECT_EQ(IsInitialized() & 0xFF, 0);
    DoneSpeexDecoder(&decoder);

    // Only the low byte of IsInitialized counts.
    test::TStandInControls standIn;
    SndKitLibrary().SetFileName(VSR_STANDIN_SNDKIT_PATH);
    standIn.Set(5, 160, 29, 0x100);
    FinishSndKitLibrary();
    EXPECT_EQ(standIn.Log(), "");
    standIn.Set(5, 160, 29, 0x101);
    FinishSndKitLibrary();
    EXPECT_EQ(standIn.Log(), "Deinit;");
}

TEST_F(SndKitLibraryTest, FinishWithEmptyFileNameCallsNothing) {
    SndKitLibrary().SetFileName("");
    int notices = 0;
    Dlls().OnDllNotify = [&](TDll&, TDllNotifyReason, int) { ++notices; };
    EXPECT_NO_THROW(FinishSndKitLibrary());
    EXPECT_EQ(notices, 0) << "nothing was loaded and no entry was bound";
    EXPECT_FALSE(SndKitLibrary().Loaded());
}

TEST_F(SndKitLibraryTest, FinishReportsAMissingRoutineWithoutRaising) {
    // A library without the finishing entries: the failure must not escape at program end.
    SndKitLibrary().SetFileName("libc.so.6");
    EXPECT_NO_THROW(FinishSndKitLibrary());
    EXPECT_TRUE(SndKitLibrary().Loaded());
    EXPECT_THROW(IsInitialized(), EDllError);
}

} // namespace
} // namespace vsr
