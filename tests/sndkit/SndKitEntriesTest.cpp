// The sound library's entries and its sample rounding.

#include "audio/SpxFixture.h"
#include "sndkit/SampleRounding.h"

#include <cmath>

namespace vsr::test {
namespace {

using SndKitEntries = TSpxTest;

// Handles are checked, each kind is released by its own entry once, and DeinitDll releases
// every codec and ends the initialised state that the first Init began. Only whole records
// are decoded, each into its own frame: a negative length or one past the input ends
// decoding; L = 0 and noise still take their frame, so that decoded positions stay
// proportional to compressed ones. Whole frames only are encoded.
TEST_F(SndKitEntries, CheckHandlesAndStopCodingAtNothingAndAtDamagedLengths) {
    DeinitDll();
    EXPECT_EQ(IsInitialized() & 0xFF, 0);
    void *decoder = reinterpret_cast<void*>(0x1), *encoder = nullptr;
    EXPECT_NE(InitSpeexDecoder(7, &decoder), 0) << "unknown mode";
    EXPECT_EQ(decoder, nullptr);
    EXPECT_NE(InitSpeexEncoder(1, nullptr), 0);
    EXPECT_NE(IsInitialized() & 0xFF, 0);
    ASSERT_EQ(InitSpeexDecoder(1, &decoder) + InitSpeexEncoder(1, &encoder), 0);
    StartSpeexEncoder(encoder);
    SetEncoderQuality(encoder, 6);
    const std::vector<short> silence(480);
    std::vector<unsigned char> in(100);
    EXPECT_EQ(SpeexMyEncode16(encoder, silence.data(), 800, in.data()), 58); // 2.5 frames
    in[59] = 5; // behind the records: one of length 0 (in[58]), one of noise, a negative length
    in[65] = 0xF0;
    const std::tuple<const unsigned char*, int, int> rows[] = {
        {in.data(), 58, 640}, {in.data(), 57, 320},   {in.data(), 0, 0},       {in.data(), -29, 0},
        {nullptr, 29, 0},     {in.data() + 59, 1, 0}, {in.data() + 58, 8, 640}};
    for (const auto& [data, length, want] : rows) {
        std::vector<short> out(4 * 160, 0x5A5A);
        EXPECT_EQ(SpeexMyDecode(decoder, data, length, out.data()), want) << length;
        EXPECT_EQ(out[want / 2], 0x5A5A) << length << ": nothing written past the frames";
    }
    EXPECT_EQ(SpeexMyDecode(decoder, in.data(), 29, nullptr), 0);
    EXPECT_EQ(SpeexMyDecode(nullptr, in.data(), 29, std::vector<short>(160).data()), 0);
    for (const auto& [samples, bytes, to] : {std::tuple{silence.data(), 319, in.data()},
                                             {nullptr, 320, in.data()},
                                             {silence.data(), 320, nullptr}})
        EXPECT_EQ(SpeexMyEncode16(encoder, samples, bytes, to), 0) << bytes;
    void* copy = decoder;
    EXPECT_EQ(GetEncoderFrameSize(decoder), 0) << "a handle of the other kind";
    DoneSpeexDecoder(&encoder);
    EXPECT_EQ(GetEncoderFrameSize(encoder), 160) << "the wrong kind stays alive";
    DoneSpeexDecoder(&decoder);
    DoneSpeexDecoder(&copy); // the same codec again must not be freed twice
    DoneSpeexDecoder(nullptr);
    EXPECT_EQ(copy, nullptr);
    DeinitDll();
    EXPECT_EQ((IsInitialized() & 0xFF) + GetEncoderFrameSize(encoder), 0) << "all released";
    DoneSpeexEncoder(&encoder);
    EXPECT_EQ(encoder, nullptr);
}

// Clamped to +-32000 (not the full range), then floor(x + 0.5); NaN becomes silence. Just
// below one half, x + 0.5 in float arithmetic would round up to 1.
TEST(SampleRounding, ClampsThenRoundsHalvesUpward) {
    const std::pair<float, int> cases[] = {
        {40000.0f, 32000},   {-32768.0f, -32000}, {31999.6f, 32000}, {INFINITY, 32000},
        {-INFINITY, -32000}, {-0.5f, 0},          {2.5f, 3},         {-2.5f, -2},
        {-2.51f, -3},        {-1.2f, -1},         {0.49999997f, 0},  {NAN, 0}};
    for (const auto& [sample, expected] : cases)
        EXPECT_EQ(sndkit::RoundDecodedSample(sample), expected) << sample;
}

} // namespace
} // namespace vsr::test
