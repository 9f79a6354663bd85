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
    std::vector<unsigned char> EncodeVoice(int frames, int quality = 6) {
        void* encoder = Api.MakeEncoder(quality, 10);
        const std::vector<short> voice = TestVoice(frames);
        std::vector<unsigned char> records(static_cast<std::size_t>(frames) * 63);
        const int written = Api.SpeexMyEncode16(encoder, voice.data(),
                                                static_cast<int>(voice.size() * 2), records.data());
        Api.DoneSpeexEncoder(&encoder);
        records.resize(static_cast<std::size_t>(std::max(written, 0)));
        return records;
    }

    // Decodes into a buffer of maxFrames frames filled with 0x5A5A; bytes gets the result.
    std::vector<short> Decode(const std::vector<unsigned char>& records, int maxFrames,
                              int& bytes) {
        void* decoder = Api.MakeDecoder(6, 10);
        std::vector<short> out(static_cast<std::size_t>(maxFrames) * 160, 0x5A5A);
        bytes = Api.SpeexMyDecode(decoder, records.data(), static_cast<int>(records.size()),
                                  out.data());
        Api.DoneSpeexDecoder(&decoder);
        return out;
    }

    TSndKitApi Api;
};

TEST_F(SndKitEntries, EncoderCodesWholeNarrowbandFramesOnly) {
    void* encoder = Api.MakeEncoder(6, 10);
    ASSERT_NE(encoder, nullptr);
    EXPECT_EQ(Api.GetEncoderFrameSize(encoder), 160);
    const std::vector<short> silence(160, 0);
    std::vector<unsigned char> out(400, 0);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, silence.data(), 320, out.data()), 29);
    EXPECT_EQ(out[0], 28);
    // Two and a half frames: the half frame is not coded.
    const std::vector<short> voice = TestVoice(3);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, voice.data(), 2 * 320 + 160, out.data()), 2 * 29);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, voice.data(), 319, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, nullptr, 320, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyEncode16(encoder, voice.data(), 320, nullptr), 0);
    Api.DoneSpeexEncoder(&encoder);
    EXPECT_EQ(encoder, nullptr);

    const std::size_t low = EncodeVoice(1, 1).size();
    const std::size_t high = EncodeVoice(1, 10).size();
    EXPECT_LT(low, 29u);
    EXPECT_GT(high, 29u);
    EXPECT_LE(high, 63u);
}

TEST_F(SndKitEntries, DecodedSamplesEqualLibspeexWithClampAndRounding) {
    const int frames = 20;
    const std::vector<unsigned char> records = EncodeVoice(frames);
    int bytes = 0;
    const std::vector<short> decoded = Decode(records, frames, bytes);
    ASSERT_EQ(bytes, frames * 320);

    void* state = speex_decoder_init(&speex_nb_mode);
    SpeexBits bits;
    speex_bits_init(&bits);
    int clamped = 0;
    for (int f = 0; f < frames; ++f) {
        const std::size_t at = static_cast<std::size_t>(f) * 29;
        speex_bits_read_from(&bits, reinterpret_cast<const char*>(&records[at + 1]), records[at]);
        float pcm[160];
        speex_decode(state, &bits, pcm);
        for (int i = 0; i < 160; ++i) {
            const double x = pcm[i];
            const double expected = std::floor(std::clamp(x, -32000.0, 32000.0) + 0.5);
            clamped += std::fabs(x) > 32000.0;
            ASSERT_EQ(decoded[static_cast<std::size_t>(f * 160 + i)], expected)
                << "frame " << f << " sample " << i << " float " << x;
        }
    }
    speex_bits_destroy(&bits);
    speex_decoder_destroy(state);
    // The loud voice must reach the clamp, or this comparison would not show it.
    EXPECT_GT(clamped, 0);
}

TEST_F(SndKitEntries, DecodingStopsAtNothingAndAtDamagedLengths) {
    const std::vector<unsigned char> records = EncodeVoice(3);
    void* decoder = Api.MakeDecoder(6, 10);
    std::vector<short> out(160, 0x5A5A);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), 0, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), -29, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, nullptr, 29, out.data()), 0);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), 29, nullptr), 0);
    EXPECT_EQ(Api.SpeexMyDecode(nullptr, records.data(), 29, out.data()), 0);
    EXPECT_EQ(out[0], 0x5A5A);
    Api.DoneSpeexDecoder(&decoder);

    int bytes = -1;
    std::vector<unsigned char> negative = records;
    negative[29] = 0xF0; // -16: decoding ends at the second record
    EXPECT_EQ(Decode(negative, 3, bytes)[160], 0x5A5A) << "nothing written past the frames decoded";
    EXPECT_EQ(bytes, 320);
    const std::vector<unsigned char> cut(records.begin(), records.end() - 1);
    EXPECT_EQ(Decode(cut, 3, bytes)[320], 0x5A5A);
    EXPECT_EQ(bytes, 640);
    EXPECT_EQ((Decode({120}, 1, bytes), bytes), 0) << "a lone length byte promising more";

    // Records with L = 0 and a record of noise still take their frame each, so that decoded
    // positions stay proportional to compressed ones.
    const std::vector<short> odd = Decode({0, 0, 5, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 3, bytes);
    EXPECT_EQ(bytes, 3 * 320);
    EXPECT_TRUE(std::all_of(odd.begin(), odd.end(), [](short s) { return std::abs(s) <= 32000; }));
}

TEST_F(SndKitEntries, HandlesAreCheckedAndReleasedOnce) {
    void* handle = reinterpret_cast<void*>(0x1);
    EXPECT_NE(Api.InitSpeexDecoder(7, &handle), 0) << "unknown mode";
    EXPECT_EQ(handle, nullptr);
    EXPECT_NE(Api.InitSpeexEncoder(0, &handle), 0);
    EXPECT_NE(Api.InitSpeexEncoder(1, nullptr), 0);
    Api.DoneSpeexDecoder(&handle);
    Api.DoneSpeexDecoder(nullptr);

    void* encoder = Api.MakeEncoder(6, 10);
    void* decoder = Api.MakeDecoder(6, 10);
    void* copy = decoder;
    EXPECT_EQ(Api.GetEncoderFrameSize(decoder), 0) << "a handle of the other kind";
    std::vector<short> out(160);
    EXPECT_EQ(Api.SpeexMyDecode(encoder, EncodeVoice(1).data(), 29, out.data()), 0);
    Api.DoneSpeexDecoder(&encoder);
    ASSERT_NE(encoder, nullptr) << "the wrong kind stays alive";
    EXPECT_EQ(Api.GetEncoderFrameSize(encoder), 160);
    Api.DoneSpeexEncoder(&encoder);
    Api.DoneSpeexDecoder(&decoder);
    EXPECT_EQ(decoder, nullptr);
    Api.DoneSpeexDecoder(&copy); // the same codec again must not be freed twice
    EXPECT_EQ(copy, nullptr);
}

TEST_F(SndKitEntries, InitializedFromFirstInitUntilDeinitWhichReleasesEveryCodec) {
    Api.DeinitDll();
    EXPECT_EQ(Api.IsInitialized() & 0xFF, 0);
    void* decoder = Api.MakeDecoder(6, 10);
    EXPECT_NE(Api.IsInitialized() & 0xFF, 0);
    void* encoder = Api.MakeEncoder(6, 10);
    const std::vector<unsigned char> records = EncodeVoice(1);
    Api.DeinitDll();
    EXPECT_EQ(Api.IsInitialized() & 0xFF, 0);
    // The released handles are refused, and releasing them again is harmless.
    std::vector<short> out(160);
    EXPECT_EQ(Api.SpeexMyDecode(decoder, records.data(), 29, out.data()), 0);
    EXPECT_EQ(Api.GetEncoderFrameSize(encoder), 0);
    Api.DoneSpeexDecoder(&decoder);
    Api.DoneSpeexEncoder(&encoder);
}

} // namespace
} // namespace vsr::test
