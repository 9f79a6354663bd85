// The sound library's entries and its sample rounding.

#include "audio/SpxFixture.h"
#include "sndkit/SampleRounding.h"

#include <cmath>
#include <random>
#include <speex/speex.h>

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
// A frame whose header libspeex would find damaged (it then prints a notification on standard
// error) plays as silence, and the library reports it through its hook instead. libspeex
// itself is the judge: random frames, and the header paths spelled out bit by bit, are given
// to it directly and through the library; a notification from the one must be a report from
// the other, and nothing may reach standard error through the library.
TEST_F(SndKitEntries, DamagedFrameHeadersPlayAsSilenceAndAreReportedThroughTheHook) {
    static int reports = 0;
    SetDebugHook([](const char* text) {
        ++reports;
        EXPECT_STREQ(text, "1 damaged voice frame(s) played as silence");
    });
    void* decoder = nullptr;
    ASSERT_EQ(InitSpeexDecoder(1, &decoder), 0);
    std::unique_ptr<void, void (*)(void*)> judge(speex_decoder_init(&speex_nb_mode),
                                                 speex_decoder_destroy);
    SpeexBits bits;
    speex_bits_init(&bits);
    const auto check = [&](const std::vector<unsigned char>& payload) {
        SCOPED_TRACE(::testing::PrintToString(payload));
        std::vector<float> reference(160);
        ::testing::internal::CaptureStderr();
        speex_bits_read_from(&bits, reinterpret_cast<const char*>(payload.data()),
                             static_cast<int>(payload.size()));
        speex_decode(judge.get(), &bits, reference.data());
        const bool notified = !::testing::internal::GetCapturedStderr().empty();
        std::vector<unsigned char> record{static_cast<unsigned char>(payload.size())};
        record.insert(record.end(), payload.begin(), payload.end());
        std::vector<short> out(160, 0x5A5A);
        reports = 0;
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(SpeexMyDecode(decoder, record.data(), int(record.size()), out.data()), 320);
        EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(reports, notified ? 1 : 0);
        EXPECT_TRUE(!notified || std::ranges::count(out, 0) == 160);
        return notified;
    };
    // Written as bits: 0, a narrowband mode; 1 and 3 bits, a wideband layer skipped by its
    // size (36 bits for submode 1); 1110 and 1101, in-band requests passed over.
    const auto frame = [](const std::string& bits) {
        std::vector<unsigned char> bytes((bits.size() + 7) / 8 + 1);
        for (std::size_t i = 0; i < bits.size(); ++i)
            bytes[i / 8] |= static_cast<unsigned char>((bits[i] - '0') << (7 - i % 8));
        return bytes;
    };
    const std::string layer = "1001" + std::string(32, '0');
    const std::pair<std::string, bool> headers[] = {
        {"01001", true},                       // mode 9
        {"01100", true},                       // mode 12
        {"01111", false},                      // the terminator
        {layer + layer + "1", true},           // a third wideband layer
        {layer + layer + "0" + "0011", false}, // two are allowed
        {"1101", true},                        // a wideband submode that does not exist
        {"011100000001010", true},             // an in-band request, then mode 10
        {"011010001" + std::string(13, '0') + "01001", true},   // a user request, then 9
        {"011101010" + std::string(16, '0') + "00001", false}}; // id 10: 16 bits
    for (const auto& [header, damaged] : headers)
        EXPECT_EQ(check(frame(header)), damaged) << header;
    std::mt19937 random(7);
    int notified = 0;
    for (int i = 0; i < 1500; ++i) {
        std::vector<unsigned char> payload(1 + random() % 40);
        std::ranges::generate(payload, [&] { return static_cast<unsigned char>(random()); });
        notified += check(payload);
    }
    EXPECT_GT(notified, 300) << "the random frames reach the damaged paths";
    speex_bits_destroy(&bits);
    SetDebugHook(nullptr);
    DoneSpeexDecoder(&decoder);
}

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
