#include "audio/SpxEncoder.h"

#include "audio/Dll.h"
#include "audio/SndKitLibrary.h"
#include "sndkit/StandInControls.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

class SpxEncoder : public ::testing::Test {
protected:
    void SetUp() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
    void TearDown() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
};

// Against the real library.

TEST_F(SpxEncoder, MeasuresNarrowbandFrameSizes) {
    const TSpxEncoder encoder(1, 8000, 6, 10);
    EXPECT_EQ(encoder.FrameBytes(), 320);
    EXPECT_EQ(encoder.EncodedFrameBytes(), 29);
}

TEST_F(SpxEncoder, HigherQualityGivesLargerRecords) {
    const TSpxEncoder low(1, 8000, 1, 10);
    const TSpxEncoder high(1, 8000, 10, 10);
    EXPECT_GT(high.EncodedFrameBytes(), low.EncodedFrameBytes());
    EXPECT_EQ(low.FrameBytes(), high.FrameBytes());
    EXPECT_LE(high.EncodedFrameBytes(), 63);
}

TEST_F(SpxEncoder, RateAndChannelsDoNotChangeTheFrameSizes) {
    const TSpxEncoder other(2, 16000, 6, 10);
    EXPECT_EQ(other.FrameBytes(), 320);
    EXPECT_EQ(other.EncodedFrameBytes(), 29);
}

TEST_F(SpxEncoder, MissingLibraryRaisesTheBindingError) {
    SndKitLibrary().SetFileName("/nonexistent/libsndkit.so");
    EXPECT_THROW(TSpxEncoder(1, 8000, 6, 10), EDllError);
}

// Against the stand-in library, which logs what it is asked.

class SpxEncoderCalls : public SpxEncoder {
protected:
    void SetUp() override { SndKitLibrary().SetFileName(VSR_STANDIN_SNDKIT_PATH); }
    test::TStandInControls StandIn;
};

TEST_F(SpxEncoderCalls, CallsInOrderAndMeasuresOneFrameOfSilence) {
    StandIn.Set(0, 160, 29, 0);
    {
        const TSpxEncoder encoder(2, 11025, 7, 3);
        EXPECT_EQ(encoder.FrameBytes(), 320);
        EXPECT_EQ(encoder.EncodedFrameBytes(), 29);
        EXPECT_EQ(StandIn.EncodeInBytes(), 320);
        EXPECT_TRUE(StandIn.EncodeInWasSilence());
        EXPECT_EQ(StandIn.DoneCalls(), 0);
    }
    EXPECT_EQ(StandIn.CallLog(), "Init(1);Start;Channels(2);Rate(11025);Quality(7);Complexity(3);"
                                 "FrameSize;Encode;Done(handle);");
}

TEST_F(SpxEncoderCalls, RefusedEncoderRaisesAndIsStillReleased) {
    StandIn.Set(5, 160, 29, 0);
    try {
        TSpxEncoder encoder(1, 8000, 6, 10);
        ADD_FAILURE() << "a refused encoder was accepted";
    } catch (const ESpxEncoder& e) {
        EXPECT_EQ(e.Message(), "Cannot initialize speex encoder");
    }
    EXPECT_EQ(StandIn.CallLog(), "Init(1);Done(other);");
    EXPECT_EQ(StandIn.DoneCallsWithNullHandle(), 1);
}

TEST_F(SpxEncoderCalls, EmptyMeasurementsAreRefusedAndReleaseTheEncoder) {
    // Zero sizes would become divisors of the SPX stream's block arithmetic.
    StandIn.Set(0, 0, 29, 0);
    EXPECT_THROW(TSpxEncoder(1, 8000, 6, 10), ESpxEncoder);
    EXPECT_EQ(StandIn.CallLog().substr(StandIn.CallLog().size() - 13), "Done(handle);");
    StandIn.Set(0, 160, 0, 0);
    EXPECT_THROW(TSpxEncoder(1, 8000, 6, 10), ESpxEncoder);
    EXPECT_EQ(StandIn.DoneCalls(), 1);
    EXPECT_EQ(StandIn.DoneCallsWithNullHandle(), 0);
}

} // namespace
} // namespace vsr
