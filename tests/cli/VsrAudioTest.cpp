// The voice track through the tool: PCM -> SPX writer -> recording writer -> `vsr audio`.

#include "audio/SpxFixture.h"
#include "audio/SndKitLibrary.h"
#include "audio/SpxWriter.h"
#include "support/Recordings.h"
#include "recording/ScreenRecorderFileWriter.h"
#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace vsr {
namespace {

using test::RunProcess;

class VsrAudio : public test::TSpxTest {
protected:
    // 0.5 s of 440 Hz, 1 s pause, 0.5 s of 1000 Hz, 0.3 s pause, 0.4 s of 700 Hz.
    std::vector<std::int16_t> Voice() {
        std::vector<std::int16_t> pcm;
        test::AppendTone(pcm, 440, 4000);
        test::AppendSilence(pcm, 8000);
        test::AppendTone(pcm, 1000, 4000);
        test::AppendSilence(pcm, 2400);
        test::AppendTone(pcm, 700, 3200);
        return pcm;
    }

    std::string WriteRecording(const std::vector<std::byte>& soundTrack) {
        const std::string name = FDir.File("voice.vsr");
        WriteRecordingFile(name,
                           {64, 32, {{0, test::PatternPicture(64, 32, 3)}}, {}, soundTrack, {}});
        return name;
    }
};

TEST_F(VsrAudio, TonesComeBackWithZerosWhereThePausesWere) {
    const auto pcm = Voice();
    const std::string recording = WriteRecording(TSpxWriter::Encode(pcm));
    const std::string wav = FDir.File("out.wav");
    const auto result = RunProcess(VSR_TOOL_PATH, {"audio", recording, "-o", wav});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;

    const auto bytes = test::ReadFileBytes(wav);
    ASSERT_EQ(bytes.size(), 44 + pcm.size() * 2);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()), 4), "RIFF");
    EXPECT_EQ(test::Get<std::int32_t>(bytes, 24), 8000); // samples per second
    EXPECT_EQ(test::Get<std::int32_t>(bytes, 40), static_cast<std::int32_t>(pcm.size() * 2)); // data bytes
    const auto samples = test::Samples(std::span(bytes).subspan(44));
    const auto part = [&](std::size_t from, std::size_t count) {
        return std::span(samples).subspan(from, count);
    };
    // Skip the codec's onset at each tone start; the left-out pauses are exact zeros.
    EXPECT_NEAR(test::DominantHz(part(800, 3200)), 440, 3);
    EXPECT_TRUE(test::AllZero(std::as_bytes(part(4160, 7680))));
    EXPECT_NEAR(test::DominantHz(part(12800, 3200)), 1000, 3);
    EXPECT_TRUE(test::AllZero(std::as_bytes(part(16160, 2080))));
    EXPECT_NEAR(test::DominantHz(part(19200, 2400)), 700, 3);

    const std::string raw = FDir.File("out.pcm");
    ASSERT_EQ(RunProcess(VSR_TOOL_PATH, {"audio", recording, "-o", raw, "--raw"}).ExitCode, 0);
    const auto rawBytes = test::ReadFileBytes(raw);
    EXPECT_TRUE(std::equal(rawBytes.begin(), rawBytes.end(), bytes.begin() + 44, bytes.end()));
}

TEST_F(VsrAudio, InfoDescribesTheVoiceTrack) {
    const std::string recording = WriteRecording(TSpxWriter::Encode(Voice()));
    const auto result = RunProcess(VSR_TOOL_PATH, {"info", recording, "--json"});
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    // The 1 s pause is 50 left-out frames after 25 coded ones; the 0.3 s pause 15 after 50.
    const std::string expected =
        "\"audio\": {\"magic\": true, \"channels\": 1, \"rate\": 8000, \"quality\": 6, "
        "\"complexity\": 10, \"encoded_frame_bytes\": 29, \"comp_block\": 290, \"pcm_block\": "
        "3200, \"total_silence\": 1885, \"size\": 43200, \"duration\": 2, \"silences\": [[725, "
        "1450], [1450, 435]], \"intervals\": [[0, 8000], [24000, 32000], [36800, 43200]]}}\n";
    EXPECT_NE(result.Out.find(expected), std::string::npos) << result.Out;
}

TEST_F(VsrAudio, AnInvalidVoiceTrackIsReportedNotFatal) {
    const std::string recording = WriteRecording(test::Bytes(10, 7));
    const auto info = RunProcess(VSR_TOOL_PATH, {"info", recording, "--json"});
    ASSERT_EQ(info.ExitCode, 0) << info.Err;
    EXPECT_NE(info.Out.find("\"audio\": {\"error\": \"Invalid SPX file\"}}"), std::string::npos)
        << info.Out;

    const std::string wav = FDir.File("never.wav");
    const auto audio = RunProcess(VSR_TOOL_PATH, {"audio", recording, "-o", wav});
    EXPECT_EQ(audio.ExitCode, 1);
    EXPECT_EQ(audio.Err, "Invalid SPX file\n");
    EXPECT_FALSE(std::filesystem::exists(wav));
}

} // namespace
} // namespace vsr
