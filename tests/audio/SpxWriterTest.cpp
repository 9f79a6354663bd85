#include "audio/SpxWriter.h"
#include "audio/SpxStream.h"
#include "audio/SpxTestData.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vsr::test {
namespace {

using TSpxWriterTest = TSpxTest;

constexpr std::size_t FrameBytes = 320;

std::vector<std::byte> DecodeFile(const TTempDir& dir, const std::vector<std::byte>& spx) {
    const std::string path = WriteFile(dir, "w.spx", spx);
    TSpxStream stream(path, TFileMode::OpenRead, TSpxSilences::Load);
    EXPECT_EQ(stream.Size() % 320, 0);
    std::vector<std::byte> pcm = ReadAll(stream, 1234);
    EXPECT_EQ(static_cast<std::int64_t>(pcm.size()), stream.Size());
    return pcm;
}

std::vector<TSpxSilence> TableOf(const std::vector<std::byte>& spx) {
    const std::int64_t at = GetInt64(spx, spx.size() - 8);
    const std::int32_t count = GetInt32(spx, static_cast<std::size_t>(at));
    std::vector<TSpxSilence> table;
    for (std::int32_t i = 0; i < count; ++i) {
        const auto record = static_cast<std::size_t>(at + 4 + 8 * i);
        table.push_back({GetInt32(spx, record), GetInt32(spx, record + 4)});
    }
    return table;
}

void ExpectTable(const std::vector<std::byte>& spx, const std::vector<TSpxSilence>& expected) {
    const std::vector<TSpxSilence> table = TableOf(spx);
    ASSERT_EQ(table.size(), expected.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].Start, expected[i].Start) << "silence " << i;
        EXPECT_EQ(table[i].Length, expected[i].Length) << "silence " << i;
    }
}

std::span<const std::byte> Frames(const std::vector<std::byte>& pcm, int first, int count) {
    return std::span(pcm).subspan(static_cast<std::size_t>(first) * FrameBytes,
                                  static_cast<std::size_t>(count) * FrameBytes);
}

double Rms(std::span<const std::byte> pcm) {
    const std::vector<std::int16_t> samples = Samples(pcm);
    double sum = 0;
    for (const std::int16_t sample : samples)
        sum += static_cast<double>(sample) * sample;
    return std::sqrt(sum / static_cast<double>(samples.size()));
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

    ExpectTable(spx, {{25 * 29, 25 * 29}, {80 * 29, 15 * 29}});
    EXPECT_EQ(FrameDataOf(spx).size(), 80u * 29);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(spx.data()), 6), "SPX1.1");
    EXPECT_EQ(GetInt32(spx, 6), 1);
    EXPECT_EQ(GetInt32(spx, 10), 8000);
    EXPECT_EQ(GetInt32(spx, 14), 6);
    EXPECT_EQ(GetInt32(spx, 18), 10);
    EXPECT_EQ(GetInt64(spx, spx.size() - 8), 22 + 80 * 29);

    const std::vector<std::byte> decoded = DecodeFile(FDir, spx);
    ASSERT_EQ(decoded.size(), pcm.size() * 2);
    EXPECT_TRUE(AllZero(Frames(decoded, 25, 25)));
    EXPECT_TRUE(AllZero(Frames(decoded, 105, 15)));
    // The short pause was coded: its frames are not simply dropped from the timeline.
    EXPECT_GT(Rms(Frames(decoded, 80, 25)), 2000);
    EXPECT_LT(Rms(Frames(decoded, 77, 3)), 1000);

    struct TToneCheck {
        int FirstFrame;
        double Hz;
    };
    for (const TToneCheck check : {TToneCheck{5, 440}, TToneCheck{55, 1000}, TToneCheck{85, 700}}) {
        const auto part = Frames(decoded, check.FirstFrame, 20);
        EXPECT_GT(Rms(part), 2000) << check.Hz;
        EXPECT_NEAR(DominantHz(Samples(part)), check.Hz, 5) << check.Hz;
    }
    for (int frame = 0; frame < 25; ++frame)
        EXPECT_FALSE(AllZero(Frames(decoded, frame, 1))) << "frame " << frame;
}

TEST_F(TSpxWriterTest, ThresholdDecidesWhichFramesAreSilent) {
    auto quietFrames = [](std::vector<std::int16_t>& pcm, int frames, int peak) {
        for (int i = 0; i < frames * FrameSamples; ++i)
            pcm.push_back(static_cast<std::int16_t>(i % 2 == 0 ? 64 : -64));
        if (peak != 0)
            pcm[pcm.size() - static_cast<std::size_t>(6 * FrameSamples)] =
                static_cast<std::int16_t>(peak);
    };
    std::vector<std::int16_t> pcm;
    quietFrames(pcm, 12, 0); // 0..11: within 64, left out
    AppendTone(pcm, 500, 5 * FrameSamples);
    quietFrames(pcm, 12, 65); // one sample of 65 splits the run into 5 + 6 frames
    AppendTone(pcm, 500, 5 * FrameSamples);

    ExpectTable(TSpxWriter::Encode(pcm), {{0, 12 * 29}});
    EXPECT_EQ(FrameDataOf(TSpxWriter::Encode(pcm)).size(), (5u + 12 + 5) * 29);

    TSpxWriterSettings lenient;
    lenient.SilenceThreshold = 100;
    ExpectTable(TSpxWriter::Encode(pcm, lenient), {{0, 12 * 29}, {5 * 29, 12 * 29}});

    TSpxWriterSettings strict;
    strict.SilenceThreshold = 63;
    ExpectTable(TSpxWriter::Encode(pcm, strict), {});
}

TEST_F(TSpxWriterTest, RunsShorterThanTheMinimumStayCoded) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 300, 3 * FrameSamples);
    AppendSilence(pcm, 10 * FrameSamples);
    AppendTone(pcm, 300, 3 * FrameSamples);
    AppendSilence(pcm, 9 * FrameSamples);
    AppendTone(pcm, 300, 3 * FrameSamples);

    const std::vector<std::byte> spx = TSpxWriter::Encode(pcm);
    ExpectTable(spx, {{3 * 29, 10 * 29}});
    EXPECT_EQ(FrameDataOf(spx).size(), (3u + 3 + 9 + 3) * 29);
    EXPECT_EQ(DecodeFile(FDir, spx).size(), pcm.size() * 2);

    TSpxWriterSettings single;
    single.MinSilenceFrames = 1;
    ExpectTable(TSpxWriter::Encode(pcm, single), {{3 * 29, 10 * 29}, {6 * 29, 9 * 29}});

    TSpxWriterSettings coded;
    coded.Silences = TSpxSilenceHandling::Code;
    const std::vector<std::byte> all = TSpxWriter::Encode(pcm, coded);
    ExpectTable(all, {});
    EXPECT_EQ(FrameDataOf(all).size(), 28u * 29);
}

TEST_F(TSpxWriterTest, PauseNotOnFrameBoundariesLeavesOutOnlyWholeSilentFrames) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 440, 1000);
    AppendSilence(pcm, 4000); // samples 1000..4999: frames 7..30 lie wholly inside
    AppendTone(pcm, 440, 3000);
    const std::vector<std::byte> spx = TSpxWriter::Encode(pcm);
    ExpectTable(spx, {{7 * 29, 24 * 29}});

    const std::vector<std::byte> decoded = DecodeFile(FDir, spx);
    ASSERT_EQ(decoded.size(), 50u * FrameBytes);
    EXPECT_TRUE(AllZero(Frames(decoded, 7, 24)));
    EXPECT_FALSE(AllZero(Frames(decoded, 31, 1)));
}

TEST_F(TSpxWriterTest, PadsTheLastPartialFrame) {
    std::vector<std::int16_t> pcm;
    AppendTone(pcm, 440, 1000); // 6.25 frames
    const std::vector<std::byte> spx = TSpxWriter::Encode(pcm);
    EXPECT_EQ(FrameDataOf(spx).size(), 7u * 29);
    EXPECT_EQ(DecodeFile(FDir, spx).size(), 7u * FrameBytes);

    // A trailing pause with a partial frame becomes a silence of whole frames.
    std::vector<std::int16_t> withPause;
    AppendTone(withPause, 440, 10 * FrameSamples);
    AppendSilence(withPause, 1000);
    TSpxWriterSettings settings;
    settings.MinSilenceFrames = 5;
    ExpectTable(TSpxWriter::Encode(withPause, settings), {{10 * 29, 7 * 29}});

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

    std::vector<std::byte> bytes;
    for (const std::int16_t sample : pcm) {
        bytes.push_back(static_cast<std::byte>(static_cast<std::uint16_t>(sample) & 0xFF));
        bytes.push_back(static_cast<std::byte>(static_cast<std::uint16_t>(sample) >> 8));
    }
    TSpxWriter writer;
    for (std::size_t at = 0; at < bytes.size(); at += 7)
        writer.WritePcm(std::span(bytes).subspan(at, std::min<std::size_t>(7, bytes.size() - at)));
    TMemoryStream stream;
    writer.Finish(stream);
    ASSERT_EQ(stream.Size(), static_cast<std::int64_t>(expected.size()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), stream.Memory().begin()));
}

TEST_F(TSpxWriterTest, RejectsBadSettingsAndWritesAfterFinish) {
    for (const auto& [quality, complexity] : {std::pair{0, 10}, {11, 10}, {6, 0}, {6, 11}}) {
        TSpxWriterSettings settings;
        settings.Quality = quality;
        settings.Complexity = complexity;
        EXPECT_THROW(TSpxWriter{settings}, ESpxWriter) << quality << " " << complexity;
    }
    TSpxWriterSettings noMinimum;
    noMinimum.MinSilenceFrames = 0;
    EXPECT_THROW(TSpxWriter{noMinimum}, ESpxWriter);

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
        const std::int64_t record = writer.EncodedFrameBytes();
        const std::vector<std::byte> spx = writer.Finish();
        ExpectTable(spx, {{static_cast<std::int32_t>(20 * record),
                           static_cast<std::int32_t>(20 * record)}});
        const std::vector<std::byte> decoded = DecodeFile(FDir, spx);
        ASSERT_EQ(decoded.size(), 60u * FrameBytes);
        EXPECT_TRUE(AllZero(Frames(decoded, 20, 20)));
        EXPECT_NEAR(DominantHz(Samples(Frames(decoded, 45, 15))), 600, 8) << quality;
    }
}

} // namespace
} // namespace vsr::test
