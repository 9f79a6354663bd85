// The sound library's entries, compared with libspeex itself, and its sample rounding.

#include "audio/SpxFixture.h"
#include "audio/SpxWriter.h"
#include "sndkit/SampleRounding.h"

#include <speex/speex.h>

#include <cmath>

namespace vsr::test {
namespace {

using SndKitEntries = TSpxTest;

TEST_F(SndKitEntries, DecodedSamplesEqualLibspeexWithClampAndRounding) {
    std::vector<std::int16_t> loud; // full scale: some decoded samples pass the clamp
    AppendTone(loud, 220, 20 * FrameSamples, 32767);
    const std::vector<std::byte> records =
        FrameDataOf(TSpxWriter::Encode(loud, {6, 10, TSpxSilenceHandling::Code}));
    const std::vector<std::int16_t> decoded = Samples(DecodeDirect(records));
    ASSERT_EQ(decoded.size(), loud.size());
    void* state = speex_decoder_init(&speex_nb_mode);
    SpeexBits bits;
    speex_bits_init(&bits);
    float pcm[160];
    int clamped = 0;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        if (i % 160 == 0) {
            const auto* record = reinterpret_cast<const char*>(&records[i / 160 * 29]);
            speex_bits_read_from(&bits, record + 1, record[0]);
            speex_decode(state, &bits, pcm);
        }
        clamped += std::fabs(pcm[i % 160]) > 32000;
        ASSERT_EQ(decoded[i], std::floor(std::clamp(pcm[i % 160], -32e3f, 32e3f) + 0.5)) << i;
    }
    speex_bits_destroy(&bits);
    speex_decoder_destroy(state);
    EXPECT_GT(clamped, 0) << "the tone must reach the clamp, or this would not show it";
}

// Only whole records are decoded, each into its own frame: a negative length or one past the
// input ends decoding; L = 0 and noise still take their frame, so that decoded positions stay
// proportional to compressed ones. Whole frames only are encoded.
TEST_F(SndKitEntries, CodingStopsAtNothingAndAtDamagedLengths) {
    void *decoder = nullptr, *encoder = nullptr;
    ASSERT_EQ(InitSpeexDecoder(1, &decoder) + InitSpeexEncoder(1, &encoder), 0);
    StartSpeexEncoder(encoder);
    SetEncoderQuality(encoder, 6);
    const std::vector<short> silence(480);
    std::vector<unsigned char> in(100);
    EXPECT_EQ(SpeexMyEncode16(encoder, silence.data(), 800, in.data()), 58); // 2.5 frames
    EXPECT_EQ(in[0], 28) << "the length byte of a 29-byte record";
    in[58] = 0; // a record of length 0, then one of noise
    in[59] = 5;
    const std::tuple<const unsigned char*, int, int> rows[] = {
        {in.data(), 58, 640}, {in.data(), 57, 320},   {in.data(), 0, 0},       {in.data(), -29, 0},
        {nullptr, 29, 0},     {in.data() + 59, 1, 0}, {in.data() + 58, 7, 640}};
    for (const auto& [data, length, want] : rows) {
        std::vector<short> out(4 * 160, 0x5A5A);
        EXPECT_EQ(SpeexMyDecode(decoder, data, length, out.data()), want) << length;
        EXPECT_EQ(out[want / 2], 0x5A5A) << length << ": nothing written past the frames";
    }
    in[29] = 0xF0; // -16
    EXPECT_EQ(SpeexMyDecode(decoder, in.data(), 58, std::vector<short>(640).data()), 320);
    EXPECT_EQ(SpeexMyDecode(decoder, in.data(), 29, nullptr), 0);
    EXPECT_EQ(SpeexMyDecode(nullptr, in.data(), 29, std::vector<short>(160).data()), 0);
    for (const auto& [samples, bytes, to] : {std::tuple{silence.data(), 319, in.data()},
                                             {nullptr, 320, in.data()},
                                             {silence.data(), 320, nullptr}})
        EXPECT_EQ(SpeexMyEncode16(encoder, samples, bytes, to), 0) << bytes;
    DoneSpeexDecoder(&decoder);
    DoneSpeexEncoder(&encoder);
    EXPECT_EQ(decoder, encoder) << "both released and null";
}

// Handles are checked, each kind is released by its own entry once, and DeinitDll releases
// every codec and ends the initialised state that the first Init began.
TEST_F(SndKitEntries, HandlesAreCheckedAndReleasedOnce) {
    DeinitDll();
    EXPECT_EQ(IsInitialized() & 0xFF, 0);
    void *decoder = reinterpret_cast<void*>(0x1), *encoder = nullptr;
    EXPECT_NE(InitSpeexDecoder(7, &decoder), 0) << "unknown mode";
    EXPECT_EQ(decoder, nullptr);
    EXPECT_NE(InitSpeexEncoder(1, nullptr), 0);
    EXPECT_NE(IsInitialized() & 0xFF, 0);
    ASSERT_EQ(InitSpeexDecoder(1, &decoder) + InitSpeexEncoder(1, &encoder), 0);
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
