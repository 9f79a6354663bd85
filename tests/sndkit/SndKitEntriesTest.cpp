// The sound library's entries called directly, compared with libspeex itself.

#include "sndkit/SndKitTestApi.h"

#include <speex/speex.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vsr::test {
namespace {

class SndKitEntries : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Api.Complete()) << dlerror(); }

    // Frame records of the test voice, coded by the library.
    std::vector<unsigned char> EncodeVoice(int frames, int quality, int complexity) {
        void* encoder = Api.MakeEncoder(quality, complexity);
        const std::vector<short> voice = TestVoice(frames);
        std::vector<unsigned char> records(static_cast<std::size_t>(frames) * 63);
        const int written = Api.SpeexMyEncode16(encoder, voice.data(),
                                                static_cast<int>(voice.size() * 2), records.data());
        Api.DoneSpeexEncoder(&encoder);
        records.resize(static_cast<std::size_t>(std::max(written, 0)));
        return records;
    }

    std::vector<short> Decode(const std::vector<unsigned char>& records, int maxFrames,
                              int* resultBytes) {
        void* decoder = Api.MakeDecoder(6, 10);
        std::vector<short> out(static_cast<std::size_t>(maxFrames) * 160, 0x5A5A);
        *resultBytes = Api.SpeexMyDecode(decoder, records.data(), static_cast<int>(records.size()),
                                         out.data());
        Api.DoneSpeexDecoder(&decoder);
        return out;
    }

    TSndKitApi Api;
};

TEST_F(SndKitEntries, EncoderMeasuresNarrowbandFrames) {
    void* encoder = Api.MakeEncoder(6, 10);
    ASSERT_NE(encoder, nullptr);
    EXPECT_EQ(Api.GetEncoderFrameSize(encoder), 160);
    const std::vector<short> silence(160, 0);
    std::vector<unsigned char> out(400, 0);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, silence.data(), 320, out.data()), 29);
    EXPECT_EQ(out[0], 28);
    Api.DoneSpeexEncoder(&encoder);
    EXPECT_EQ(encoder, nullptr);
}

TEST_F(SndKitEntries, EncoderCodesWholeFramesOnly) {
    void* encoder = Api.MakeEncoder(6, 10);
    const std::vector<short> voice = TestVoice(3);
    std::vector<unsigned char> out(400, 0);
    // Two and a half frames: the half frame is not coded.
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, voice.data(), 2 * 320 + 160, out.data()), 2 * 29);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, voice.data(), 319, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, nullptr, 320, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, voice.data(), 320, nullptr), 0);
    Api.DoneSpeexEncoder(&encoder);
}

TEST_F(SndKitEntries, EncodedRecordsEqualLibspeexCodingOfUnscaledSamples) {
    const int frames = 12;
    const std::vector<unsigned char> records = EncodeVoice(frames, 6, 10);
    ASSERT_EQ(records.size(), static_cast<std::size_t>(frames) * 29);

    void* state = speex_encoder_init(&speex_nb_mode);
    spx_int32_t rate = 8000, quality = 6, complexity = 10;
    speex_encoder_ctl(state, SPEEX_SET_SAMPLING_RATE, &rate);
    speex_encoder_ctl(state, SPEEX_SET_QUALITY, &quality);
    speex_encoder_ctl(state, SPEEX_SET_COMPLEXITY, &complexity);
    SpeexBits bits;
    speex_bits_init(&bits);
    const std::vector<short> voice = TestVoice(frames);
    for (int f = 0; f < frames; ++f) {
        std::vector<float> pcm(voice.begin() + f * 160, voice.begin() + (f + 1) * 160);
        speex_bits_reset(&bits);
        speex_encode(state, pcm.data(), &bits);
        unsigned char bytes[200];
        const int n = speex_bits_write(&bits, reinterpret_cast<char*>(bytes), sizeof bytes);
        const std::size_t at = static_cast<std::size_t>(f) * 29;
        ASSERT_EQ(records[at], n) << "frame " << f;
        EXPECT_TRUE(std::equal(bytes, bytes + n, records.begin() + static_cast<long>(at) + 1))
            << "frame " << f;
    }
    speex_bits_destroy(&bits);
    speex_encoder_destroy(state);
}

TEST_F(SndKitEntries, HigherQualityCodesLargerFrames) {
    std::vector<int> sizes;
    for (const int quality : {1, 6, 10}) {
        const std::vector<unsigned char> records = EncodeVoice(1, quality, 10);
        sizes.push_back(static_cast<int>(records.size()));
    }
    EXPECT_LT(sizes[0], sizes[1]);
    EXPECT_LT(sizes[1], sizes[2]);
    EXPECT_LE(sizes[2], 63);
}

TEST_F(SndKitEntries, DecodesTenRecordsToOneBlock) {
    const std::vector<unsigned char> records = EncodeVoice(10, 6, 10);
    ASSERT_EQ(records.size(), 290u);
    int bytes = -1;
    Decode(records, 10, &bytes);
    EXPECT_EQ(bytes, 3200);
}

TEST_F(SndKitEntries, NothingToDecodeGivesZero) {
    const std::vector<unsigned char> records = EncodeVoice(1, 6, 10);
    void* decoder = Api.MakeDecoder(6, 10);
    std::vector<short> out(160, 0x5A5A);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), 0, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), -29, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, nullptr, 29, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), 29, nullptr), 0);
    EXPECT_EQ(Api.SpeexMyDecode(nullptr, records.data(), 29, out.data()), 0);
    EXPECT_EQ(out[0], 0x5A5A);
    Api.DoneSpeexDecoder(&decoder);
}

TEST_F(SndKitEntries, DecodedSamplesEqualLibspeexWithClampAndRounding) {
    const int frames = 20;
    const std::vector<unsigned char> records = EncodeVoice(frames, 6, 10);
    int bytes = 0;
    const std::vector<short> decoded = Decode(records, frames, &bytes);
    ASSERT_EQ(bytes, frames * 320);

    void* state = speex_decoder_init(&speex_nb_mode);
    SpeexBits bits;
    speex_bits_init(&bits);
    int clamped = 0;
    int halves = 0;
    for (int f = 0; f < frames; ++f) {
        const std::size_t at = static_cast<std::size_t>(f) * 29;
        speex_bits_read_from(&bits, reinterpret_cast<const char*>(&records[at + 1]), records[at]);
        float pcm[160];
        speex_decode(state, &bits, pcm);
        for (int i = 0; i < 160; ++i) {
            const double x = pcm[i];
            const double expected = x > 32000.0    ? 32000.0
                                    : x < -32000.0 ? -32000.0
                                                   : std::floor(x + 0.5);
            clamped += std::fabs(x) > 32000.0;
            halves += x - std::floor(x) == 0.5;
            ASSERT_EQ(decoded[static_cast<std::size_t>(f * 160 + i)], expected)
                << "frame " << f << " sample " << i << " float " << x;
        }
    }
    speex_bits_destroy(&bits);
    speex_decoder_destroy(state);
    // The loud voice must reach the clamp, or this comparison would not show it.
    EXPECT_GT(clamped, 0);
    RecordProperty("ExactHalves", halves);
}

TEST_F(SndKitEntries, NegativeLengthEndsDecoding) {
    std::vector<unsigned char> records = EncodeVoice(3, 6, 10);
    records[29] = 0xF0; // -16
    int bytes = -1;
    const std::vector<short> out = Decode(records, 3, &bytes);
    EXPECT_EQ(bytes, 320);
    EXPECT_EQ(out[160], 0x5A5A) << "nothing written past the frames decoded";
}

TEST_F(SndKitEntries, LengthPastTheEndEndsDecoding) {
    std::vector<unsigned char> records = EncodeVoice(3, 6, 10);
    records.resize(records.size() - 1); // the last record lacks its final byte
    int bytes = -1;
    std::vector<short> out = Decode(records, 3, &bytes);
    EXPECT_EQ(bytes, 640);
    EXPECT_EQ(out[320], 0x5A5A);

    // A lone length byte promising more than there is.
    const std::vector<unsigned char> lone = {120};
    EXPECT_EQ((Decode(lone, 1, &bytes), bytes), 0);
}

TEST_F(SndKitEntries, EmptyAndGarbageRecordsStillYieldOneFrameEach) {
    // Records with L = 0 and a record of noise: each still takes its frame of output, so
    // decoded positions stay proportional to compressed ones.
    std::vector<unsigned char> records = {0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    int bytes = -1;
    const std::vector<short> out = Decode(records, 3, &bytes);
    EXPECT_EQ(bytes, 3 * 320);
    EXPECT_TRUE(
        std::all_of(out.begin(), out.end(), [](short s) { return s >= -32000 && s <= 32000; }));
}

TEST_F(SndKitEntries, UnknownModeIsRefused) {
    void* handle = reinterpret_cast<void*>(0x1);
    EXPECT_NE(Api.InitSpeexDecoder(7, &handle), 0);
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(Api.InitSpeexEncoder(0, &handle), 0);
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(Api.InitSpeexEncoder(1, nullptr), 0);
}

TEST_F(SndKitEntries, DoneAcceptsNullAndClearsTheHandle) {
    void* handle = nullptr;
    Api.DoneSpeexDecoder(&handle);
    Api.DoneSpeexEncoder(&handle);
    Api.DoneSpeexDecoder(nullptr);
    void* decoder = Api.MakeDecoder(6, 10);
    void* copy = decoder;
    Api.DoneSpeexDecoder(&decoder);
    EXPECT_EQ(decoder, nullptr);
    // Releasing the same codec twice must not free it twice.
    Api.DoneSpeexDecoder(&copy);
    EXPECT_EQ(copy, nullptr);
}

TEST_F(SndKitEntries, HandlesOfTheOtherKindAreRefused) {
    void* encoder = Api.MakeEncoder(6, 10);
    void* decoder = Api.MakeDecoder(6, 10);
    EXPECT_EQ(Api.GetEncoderFrameSize(decoder), 0);
    const std::vector<unsigned char> records = EncodeVoice(1, 6, 10);
    std::vector<short> out(160);
    EXPECT_EQ(Api.SpeexMyDecode(encoder, records.data(), 29, out.data()), 0);
    Api.DoneSpeexDecoder(&encoder); // wrong kind: the encoder stays alive
    ASSERT_NE(encoder, nullptr);
    EXPECT_EQ(Api.GetEncoderFrameSize(encoder), 160);
    Api.DoneSpeexEncoder(&encoder);
    Api.DoneSpeexDecoder(&decoder);
}

TEST_F(SndKitEntries, InitializedFromFirstInitUntilDeinit) {
    Api.DeinitDll();
    EXPECT_EQ(Api.IsInitialized() & 0xFF, 0);
    void* decoder = Api.MakeDecoder(6, 10);
    EXPECT_NE(Api.IsInitialized() & 0xFF, 0);
    void* encoder = Api.MakeEncoder(6, 10);
    const std::vector<unsigned char> records = EncodeVoice(1, 6, 10);

    Api.DeinitDll();
    EXPECT_EQ(Api.IsInitialized() & 0xFF, 0);
    // Both codecs are gone: their handles are refused, and releasing them is harmless.
    std::vector<short> out(160);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), 29, out.data()), 0);
    EXPECT_EQ(Api.GetEncoderFrameSize(encoder), 0);
    Api.DoneSpeexDecoder(&decoder);
    Api.DoneSpeexEncoder(&encoder);
    EXPECT_EQ(decoder, nullptr);

    void* again = nullptr;
    EXPECT_EQ(Api.InitSpeexEncoder(1, &again), 0);
    EXPECT_NE(Api.IsInitialized() & 0xFF, 0);
    Api.DoneSpeexEncoder(&again);
}

} // namespace
} // namespace vsr::test
