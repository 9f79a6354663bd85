// The program's binding of the sound library: its table, its typed entries and its finish.

#include "audio/SndKitLibrary.h"
#include "audio/Dlls.h"
#include "sndkit/StandInControls.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vsr {
namespace {

// Points the program's library object at a file for one test, then back at the real one.
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
    EXPECT_EQ(library.Entry(0).Name(), "SetDebugHook");
    EXPECT_EQ(library.Entry(6).Name(), "PausePlay");
    EXPECT_EQ(library.Entry(8).Name(), "PausePlay");
    EXPECT_EQ(library.Entry(9).Name(), "ContinuePlay");
    EXPECT_EQ(library.Entry(15).Name(), "ContinueRecord");
    EXPECT_EQ(library.Entry(19).Name(), "IsInitialized");
    EXPECT_EQ(library.Entry(21).Name(), "DeinitDll");
    EXPECT_EQ(library.Entry(35).Name(), "SpeexMyDecode");
    EXPECT_EQ(library.Entry(52).Name(), "SpeexMyEncode16");
    EXPECT_EQ(library.Entry(59).Name(), "ContinueRecord");
    EXPECT_TRUE(Dlls().Contains(library));
}

TEST(SndKitLibraryTable, TypedEntriesPointAtTheirNames) {
    EXPECT_EQ(SndKitEntryNames[static_cast<std::size_t>(InitSpeexDecoder.Index())],
              std::string("InitSpeexDecoder"));
    EXPECT_EQ(SndKitEntryNames[static_cast<std::size_t>(StartSpeexDecoder.Index())],
              std::string("StartSpeexDecoder"));
    EXPECT_EQ(SndKitEntryNames[static_cast<std::size_t>(SetDecoderQuality.Index())],
              std::string("SetDecoderQuality"));
    EXPECT_EQ(SndKitEntryNames[static_cast<std::size_t>(SetEncoderComplexity.Index())],
              std::string("SetEncoderComplexity"));
    EXPECT_EQ(SndKitEntryNames[static_cast<std::size_t>(DeinitDll.Index())],
              std::string("DeinitDll"));
    EXPECT_EQ(&InitSpeexDecoder.Library(), &SndKitLibrary());
}

TEST_F(SndKitLibraryTest, DecodesThroughTheBinding) {
    void* encoder = nullptr;
    ASSERT_EQ(InitSpeexEncoder(1, &encoder), 0);
    StartSpeexEncoder(encoder);
    SetEncoderChannels(encoder, 1);
    SetEncoderRate(encoder, 8000);
    SetEncoderQuality(encoder, 6);
    SetEncoderComplexity(encoder, 10);
    ASSERT_EQ(GetEncoderFrameSize(encoder), 160);
    std::vector<short> pcm(1600);
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<short>((i % 40) * 400 - 8000);
    std::vector<unsigned char> records(10 * 63);
    const int recordBytes = SpeexMyEncode16(encoder, pcm.data(), 3200, records.data());
    DoneSpeexEncoder(&encoder);
    ASSERT_EQ(recordBytes, 290);

    void* decoder = nullptr;
    InitSpeexDecoder(1, &decoder);
    StartSpeexDecoder(decoder);
    SetDecoderChannels(decoder, 1);
    SetDecoderRate(decoder, 8000);
    SetDecoderQuality(decoder, 6);
    SetDecoderComplexity(decoder, 10);
    std::vector<short> out(1600, 0);
    EXPECT_EQ(SpeexMyDecode(decoder, records.data(), recordBytes, out.data()), 3200);
    EXPECT_EQ(SpeexMyDecode(decoder, records.data(), 0, out.data()), 0);
    DoneSpeexDecoder(&decoder);
    EXPECT_EQ(decoder, nullptr);
    // Speech-band content survives coding: the output is not silence.
    long energy = 0;
    for (short s : out)
        energy += std::abs(s);
    EXPECT_GT(energy, 1600L * 500);
}

TEST_F(SndKitLibraryTest, FinishCallsDeinitOnlyWhenInitialized) {
    void* decoder = nullptr;
    ASSERT_EQ(InitSpeexDecoder(1, &decoder), 0);
    EXPECT_NE(IsInitialized() & 0xFF, 0);
    FinishSndKitLibrary();
    EXPECT_EQ(IsInitialized() & 0xFF, 0);
    // The library released the decoder: its handle is refused now.
    std::vector<unsigned char> record(29, 0);
    record[0] = 28;
    std::vector<short> out(160);
    EXPECT_EQ(SpeexMyDecode(decoder, record.data(), 29, out.data()), 0);
    DoneSpeexDecoder(&decoder);
}

TEST_F(SndKitLibraryTest, FinishLooksOnlyAtTheLowByteOfIsInitialized) {
    test::TStandInControls controls;
    SndKitLibrary().SetFileName(VSR_STANDIN_SNDKIT_PATH);
    controls.Set(5, 160, 29, 0x100);
    FinishSndKitLibrary();
    EXPECT_EQ(controls.DeinitCalls(), 0);
    controls.Set(5, 160, 29, 0x101);
    FinishSndKitLibrary();
    EXPECT_EQ(controls.DeinitCalls(), 1);
}

TEST_F(SndKitLibraryTest, FinishWithEmptyFileNameCallsNothing) {
    int notices = 0;
    Dlls().OnDllNotify = [&](TDll&, TDllNotifyReason, int) { ++notices; };
    SndKitLibrary().SetFileName("");
    EXPECT_FALSE(SndKitLibrary().Loaded());
    notices = 0;
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
