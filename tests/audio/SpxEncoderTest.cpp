#include "audio/SpxEncoder.h"

#include "audio/Dll.h"
#include "audio/SndKitLibrary.h"
#include "sndkit/StandInControls.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

class SpxEncoder : public ::testing::Test {
protected:
    void TearDown() override { SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); }
};

TEST_F(SpxEncoder, MeasuresFramesOfTheRealLibrary) {
    SndKitLibrary().SetFileName(VSR_SNDKIT_PATH);
    const TSpxEncoder encoder(1, 8000, 6, 10);
    EXPECT_EQ(encoder.FrameBytes(), 320);
    EXPECT_EQ(encoder.EncodedFrameBytes(), 29);
    const TSpxEncoder low(1, 8000, 1, 10);
    const TSpxEncoder high(1, 8000, 10, 10);
    EXPECT_GT(high.EncodedFrameBytes(), low.EncodedFrameBytes());
    EXPECT_LE(high.EncodedFrameBytes(), 63);

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
    }
    EXPECT_EQ(StandIn.Log(), "Init(1);Start;Channels(2);Rate(11025);Quality(7);Complexity(3);"
                             "FrameSize;Encode(320,silent);Done(handle);");
}

TEST_F(SpxEncoderCalls, RefusedEncoderRaisesAndIsStillReleased) {
    StandIn.Set(5, 160, 29, 0);
    try {
        TSpxEncoder encoder(1, 8000, 6, 10);
        ADD_FAILURE() << "a refused encoder was accepted";
    } catch (const ESpxEncoder& e) {
        EXPECT_EQ(e.Message(), "Cannot initialize speex encoder");
    }
    EXPECT_EQ(StandIn.Log(), "Init(1);Done(null);");
}

TEST_F(SpxEncoderCalls, EmptyMeasurementsAreRefusedAndReleaseTheEncoder) {
    // Zero sizes would become divisors of the SPX stream's block arithmetic.
    StandIn.Set(0, 0, 29, 0);
    EXPECT_THROW(TSpxEncoder(1, 8000, 6, 10), ESpxEncoder);
    EXPECT_TRUE(StandIn.Log().ends_with(";Done(handle);")) << StandIn.Log();
    StandIn.Set(0, 160, 0, 0);
    EXPECT_THROW(TSpxEncoder(1, 8000, 6, 10), ESpxEncoder);
    EXPECT_TRUE(StandIn.Log().ends_with("Encode(320,silent);Done(handle);")) << StandIn.Log();
}

} // namespace
} // namespace vsr
