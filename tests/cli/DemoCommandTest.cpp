#include "support/RunProcess.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <unistd.h>

namespace vsr {
namespace {

using test::RunProcess;

struct TDemoInfo {
    std::string Written; // the tool's own line
    std::string Json;    // vsr info --json
};

TDemoInfo WriteDemo(const test::TTempDir& dir, const std::vector<std::string>& environment = {}) {
    const std::string demo = dir.File("demo.vsr");
    const auto written = RunProcess(VSR_TOOL_PATH, {"demo", "-o", demo}, environment);
    EXPECT_EQ(written.ExitCode, 0) << written.Err;
    const auto info = RunProcess(VSR_TOOL_PATH, {"info", demo, "--json"});
    EXPECT_EQ(info.ExitCode, 0) << info.Err;
    return {written.Out, info.Out};
}

long Number(const std::string& json, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(json, match, std::regex(pattern)))
        return -1;
    return std::stol(match[1]);
}

// About 30 s of sound at 16 bytes a millisecond, with silences and several stretches of sound.
void ExpectVoiceOfThirtySeconds(const std::string& json) {
    const long size = Number(json, R"("pcm_block": 3200, "total_silence": \d+, "size": (\d+))");
    EXPECT_GE(size, 29500 * 16) << json;
    EXPECT_LE(size, 30500 * 16) << json;
    EXPECT_GT(Number(json, R"("total_silence": (\d+))"), 0) << json;
    std::smatch intervals;
    ASSERT_TRUE(std::regex_search(json, intervals, std::regex(R"("intervals": \[(.*?)\]\})")));
    const std::string list = intervals[1];
    EXPECT_GE(std::count(list.begin(), list.end(), '['), 5) << list;
}

TEST(DemoCommand, ADesktopSessionWithVoiceHeaderAndLink) {
    test::TTempDir dir;
    const TDemoInfo demo = WriteDemo(dir);
    const std::string& json = demo.Json;
    EXPECT_NE(json.find("\"width\": 1024, \"height\": 768"), std::string::npos);
    EXPECT_NE(json.find("\"duration_ms\": 30000"), std::string::npos);
    EXPECT_GE(Number(json, R"("cursors": \{"count": (\d+))"), 300) << json;
    EXPECT_NE(json.find("\"header_picture_type\": 1, \"trailer_picture_type\": 1, "
                        "\"trailer_is_header\": true, \"header_delay\": 3, \"trailer_delay\": 3, "
                        "\"link\": \"https://example.com/vsr-player\""),
              std::string::npos)
        << json;
    ExpectVoiceOfThirtySeconds(json);
    if (::access("/usr/bin/espeak-ng", X_OK) == 0) {
        EXPECT_NE(demo.Written.find("voice: espeak-ng"), std::string::npos) << demo.Written;
    }
}

TEST(DemoCommand, WithoutSpeechATuneTakesTheVoicesPlace) {
    test::TTempDir dir;
    const TDemoInfo demo = WriteDemo(dir, {"PATH=" + dir.Path().string()});
    EXPECT_NE(demo.Written.find("voice: tone melody"), std::string::npos) << demo.Written;
    ExpectVoiceOfThirtySeconds(demo.Json);
}

} // namespace
} // namespace vsr
