// Random sequences of the transport, opening and closing, at random intervals: no crash, no
// deadlock, no error, no sanitizer report, no temporary file left, and a player that still
// plays afterwards. The seed is fixed, so a failure repeats.
#include "gui/PlayerTestSupport.h"

#include <random>

namespace vsr::test {
namespace {

using PlayerStress = PlayerTest;

TEST_F(PlayerStress, RandomTransportOpenAndCloseSequencesLeaveAWorkingPlayer) {
    TRecordingContent withOverlay =
        Solid({{0, cRed}, {300, cGreen}, {600, cBlue}, {900, cYellow}}, 1200);
    withOverlay.Overlay = SolidOverlay(cWhite, cBlue, 0, "");
    const std::string recordings[] = {
        Write("a.vsr", withOverlay, KeyFrameEvery(300, 1200)),
        Write("b.vsr", Solid({{0, cBlue}, {500, cRed}}, 2000), KeyFrameEvery(500, 2000))};
    const char* const buttons[] = {"PlayButton",    "PauseButton",  "StopButton",
                                   "ToStartButton", "RewindButton", "FFWButton"};
    std::mt19937 random(20261206);
    for (int step = 0; step < 160; ++step) {
        const unsigned action = random() % 9;
        SCOPED_TRACE("step " + std::to_string(step) + ", action " + std::to_string(action));
        if (action < 6)
            Click(buttons[action]);
        else if (action < 8)
            EXPECT_TRUE(Window().OpenRecording(recordings[random() % 2]));
        else
            Window().CloseRecording();
        PumpFor(std::chrono::milliseconds(random() % 50));
        ASSERT_TRUE(FErrors.empty()) << FErrors.front();
    }
    Window().CloseRecording();
    EXPECT_EQ(TempFiles(), 0u);
    ASSERT_TRUE(Window().OpenRecording(recordings[1]));
    Click("PlayButton");
    EXPECT_TRUE(PumpUntil([&] { return Window().Playing() && Window().PlayTime() > 200; }));
    FWindow.reset();
    EXPECT_EQ(TempFiles(), 0u);
}

} // namespace
} // namespace vsr::test
