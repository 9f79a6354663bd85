#include "audio/SpxWriter.h"
#include "audio/SpxStream.h"
#include "audio/SpxFixture.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vsr::test {
namespace {

using TSpxWriterTest = TSpxTest;

std::vector<std::byte> DecodeFile(const TTempDir& dir, const std::vector<std::byte>& spx) {
    TSpxStream stream(WriteFile(dir, "w.spx", spx), TFileMode::OpenRead, TSpxSilences::Load);
    std::vector<std::byte> pcm = ReadAll(stream, 1234);
    EXPECT_EQ(static_cast<std::int64_t>(pcm.size()), stream.Size());
    return pcm;
}

// The silence table as (Start, Length) pairs.
std::vector<std::pair<std::int32_t, std::int32_t>> TableOf(const std::vector<std::byte>& spx) {
    const auto at = static_cast<std::size_t>(Get<std::int64_t>(spx, spx.size() - 8));
    std::vector<std::pair<std::int32_t, std::int32_t>> table;
    for (std::int32_t i = 0; i < Get<std::int32_t>(spx, at); ++i)
        table.emplace_back(Get<std::int32_t>(spx, at + 4 + 8 * i), Get<std::int32_t>(spx, at + 8 + 8 * i));
    return table;
}
using TTable = std::vector<std::pair<std::int32_t, std::int32_t>>;

std::span<const std::byte> Frames(const std::vector<std::byte>& pcm, int first, int count) {
    return std::span(pcm).subspan(static_cast<std::size_t>(first) * 320,
                                  static_cast<std::size_t>(count) * 320);
}

double Rms(std::span<const std::byte> pcm) {
    double sum = 0;
    for (const std::int16_t sample : Samples(pcm))
        sum += static_cast<double>(sample) * sample;
    return std::sqrt(sum / static_cast<double>(pcm.size() / 2));
}

TEST_F(TSpxWriterTest, TonesAndPausesComeBackWithZerosExactlyWhereLongPausesWere) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 440, 25 * FrameSamples);  // frames 0..24
    AppendSilence(pcm, 25 * FrameSamples);    // 25..49: left out
    AppendTone(pcm, 1000, 25 * FrameSamples); // 50..74
    AppendSilence(pcm, 5 * FrameSamples);     // 75..79: too short, coded
    AppendTone(pcm, 700, 25 * FrameSamples);  // 80..104
    AppendSilence(pcm, 15 * FrameSamples);    // 105..119: left out at the end

    TSpxWriter writer;
    writer.Write(pcm);
    EXPECT_EQ(writer.EncodedFrameBytes(), 29);
    const std::vector<std::byte> spx = writer.Finish();
    EXPECT_EQ(TableOf(spx), (TTable{{25 * 29, 25 * 29}, {80 * 29, 15 * 29}}));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(spx.data()), 6), "SPX1.1");
    for (const auto& [at, value] : {std::pair{6, 1}, {10, 8000}, {14, 6}, {18, 10}})
        EXPECT_EQ(Get<std::int32_t>(spx, at), value) << at;
    EXPECT_EQ(Get<std::int64_t>(spx, spx.size() - 8), 22 + 80 * 29);

    const std::vector<std::byte> decoded = DecodeFile(FDir, spx);
    ASSERT_EQ(decoded.size(), pcm.size() * 2);
    EXPECT_TRUE(AllZero(Frames(decoded, 25, 25)));
    EXPECT_TRUE(AllZero(Frames(decoded, 105, 15)));
    // The short pause was coded: its frames are not simply dropped from the timeline.
    EXPECT_GT(Rms(Frames(decoded, 80, 25)), 2000);
    EXPECT_LT(Rms(Frames(decoded, 77, 3)), 1000);
    for (const auto& [frame, hz] : {std::pair{5, 440}, {55, 1000}, {85, 700}}) {
        EXPECT_GT(Rms(Frames(decoded, frame, 20)), 2000) << hz;
        EXPECT_NEAR(DominantHz(Samples(Frames(decoded, frame, 20))), hz, 5) << hz;
    }
    for (int frame = 0; frame < 25; ++frame)
        EXPECT_FALSE(AllZero(Frames(decoded, frame, 1))) << "frame " << frame;
}

TEST_F(TSpxWriterTest, ThresholdDecidesWhichFramesAreSilent) {
    auto quietFrames = [](std::vector<std::int16_t>& pcm, int frames, int peak) {
        for (int i = 0; i < frames * FrameSamples; ++i)
            pcm.push_back(static_cast<std::int16_t>(i % 2 == 0 ? 64 : -64));
        if (peak != 0)
            pcm[pcm.size() - 6 * FrameSamples] = static_cast<std::int16_t>(peak);
    };
    std::vector<std::int16_t> pcm;
    quietFrames(pcm, 12, 0); // 0..11: within 64, left out
    AppendTone(pcm, 500, 5 * FrameSamples);
    quietFrames(pcm, 12, 65); // one sample of 65 splits the run into 5 + 6 frames
    AppendTone(pcm, 500, 5 * FrameSamples);

    EXPECT_EQ(TableOf(TSpxWriter::Encode(pcm)), (TTable{{0, 12 * 29}}));
    EXPECT_EQ(FrameDataOf(TSpxWriter::Encode(pcm)).size(), (5u + 12 + 5) * 29);
    TSpxWriterSettings settings;
    settings.SilenceThreshold = 100;
    EXPECT_EQ(TableOf(TSpxWriter::Encode(pcm, settings)),
              (TTable{{0, 12 * 29}, {5 * 29, 12 * 29}}));
    settings.SilenceThreshold = 63;
    EXPECT_EQ(TableOf(TSpxWriter::Encode(pcm, settings)), TTable{});
}

TEST_F(TSpxWriterTest, RunsShorterThanTheMinimumStayCoded) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 300, 3 * FrameSamples);
    AppendSilence(pcm, 10 * FrameSamples);
    AppendTone(pcm, 300, 3 * FrameSamples);
    AppendSilence(pcm, 9 * FrameSamples);
    AppendTone(pcm, 300, 3 * FrameSamples);

    const std::vector<std::byte> spx = TSpxWriter::Encode(pcm);
    EXPECT_EQ(TableOf(spx), (TTable{{3 * 29, 10 * 29}}));
    EXPECT_EQ(FrameDataOf(spx).size(), (3u + 3 + 9 + 3) * 29);
    EXPECT_EQ(DecodeFile(FDir, spx).size(), pcm.size() * 2);

    TSpxWriterSettings settings;
    settings.MinSilenceFrames = 1;
    EXPECT_EQ(TableOf(TSpxWriter::Encode(pcm, settings)),
              (TTable{{3 * 29, 10 * 29}, {6 * 29, 9 * 29}}));
    settings.Silences = TSpxSilenceHandling::Code;
    const std::vector<std::byte> all = TSpxWriter::Encode(pcm, settings);
    EXPECT_EQ(TableOf(all), TTable{});
    EXPECT_EQ(FrameDataOf(all).size(), 28u * 29);
}

TEST_F(TSpxWriterTest, PausesOffFrameBoundariesLeaveOutOnlyWholeSilentFrames) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 440, 1000);
    AppendSilence(pcm, 4000); // samples 1000..4999: frames 7..30 lie wholly inside
    AppendTone(pcm, 440, 3000);
    const std::vector<std::byte> spx = TSpxWriter::Encode(pcm);
    EXPECT_EQ(TableOf(spx), (TTable{{7 * 29, 24 * 29}}));
    const std::vector<std::byte> decoded = DecodeFile(FDir, spx);
    ASSERT_EQ(decoded.size(), 50u * 320);
    EXPECT_TRUE(AllZero(Frames(decoded, 7, 24)));
    EXPECT_FALSE(AllZero(Frames(decoded, 31, 1)));

    // The last partial frame is padded; a trailing pause becomes a silence of whole frames.
    pcm.resize(1000); // 6.25 frames
    EXPECT_EQ(FrameDataOf(TSpxWriter::Encode(pcm)).size(), 7u * 29);
    AppendTone(pcm, 440, 600); // 10 frames
    AppendSilence(pcm, 1000);
    TSpxWriterSettings settings;
    settings.MinSilenceFrames = 5;
    EXPECT_EQ(TableOf(TSpxWriter::Encode(pcm, settings)), (TTable{{10 * 29, 7 * 29}}));
    EXPECT_EQ(TSpxWriter::Encode({}).size(), 22u + 12);
}

TEST_F(TSpxWriterTest, BytesInPiecesAndStreamOutputGiveTheSameStream) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 880, 2000);
    AppendSilence(pcm, 3000);
    AppendTone(pcm, 330, 1500, 12000);
    for (std::int16_t& sample : pcm)
        sample = static_cast<std::int16_t>(sample - 3); // negative values exercise the byte order
    const std::vector<std::byte> expected = TSpxWriter::Encode(pcm);

    const auto bytes = std::as_bytes(std::span(pcm));
    TSpxWriter writer;
    for (std::size_t at = 0; at < bytes.size(); at += 7)
        writer.WritePcm(bytes.subspan(at, std::min<std::size_t>(7, bytes.size() - at)));
    TMemoryStream stream;
    writer.Finish(stream);
    ASSERT_EQ(stream.Size(), static_cast<std::int64_t>(expected.size()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stream.Memory().begin()));
}

TEST_F(TSpxWriterTest, RejectsBadSettingsAndWritesAfterFinish) {
    for (const auto& [quality, complexity, minimum] :
         {std::tuple{0, 10, 3}, {11, 10, 3}, {6, 0, 3}, {6, 11, 3}, {6, 10, 0}}) {
        TSpxWriterSettings settings;
        settings.Quality = quality;
        settings.Complexity = complexity;
        settings.MinSilenceFrames = minimum;
        EXPECT_THROW(TSpxWriter{settings}, ESpxWriter) << quality << " " << complexity;
    }
    TSpxWriter writer;
    writer.Finish();
    const std::int16_t sample = 0;
    EXPECT_THROW(writer.Write(std::span(&sample, 1)), ESpxWriter);
    EXPECT_THROW(writer.Finish(), ESpxWriter);
}

TEST_F(TSpxWriterTest, OtherQualitiesRoundTrip) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 600, 20 * FrameSamples);
    AppendSilence(pcm, 20 * FrameSamples);
    AppendTone(pcm, 600, 20 * FrameSamples);
    for (const int quality : {1, 10}) {
        TSpxWriterSettings settings;
        settings.Quality = quality;
        settings.Complexity = 3;
        TSpxWriter writer(settings);
        writer.Write(pcm);
        const auto run = static_cast<std::int32_t>(20 * writer.EncodedFrameBytes());
        const std::vector<std::byte> spx = writer.Finish();
        EXPECT_EQ(TableOf(spx), (TTable{{run, run}})) << quality;
        const std::vector<std::byte> decoded = DecodeFile(FDir, spx);
        ASSERT_EQ(decoded.size(), 60u * 320);
        EXPECT_TRUE(AllZero(Frames(decoded, 20, 20)));
        EXPECT_NEAR(DominantHz(Samples(Frames(decoded, 45, 15))), 600, 8) << quality;
    }
}

} // namespace
} // namespace vsr::test
