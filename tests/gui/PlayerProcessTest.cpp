// The player run as a program: Qt's own options are Qt's, and a signal ends it as closing the
// window does, leaving nothing in the temporary folder, not even what an earlier run that was
// killed had left there.
#include "audio/SndKitLibrary.h"
#include "support/Files.h"
#include "support/Recordings.h"
#include "support/RunProcess.h"
#include "support/Voice.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vsr::test {
namespace {

using namespace std::chrono_literals;

// A process id that no process has any more.
std::string EndedProcessId() {
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return std::to_string(child);
}

// Waits until the folder holds a file whose name starts with prefix.
bool Appears(const TTempDir& folder, const std::string& prefix) {
    for (auto deadline = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(20ms))
        for (const std::string& name : folder.Names())
            if (name.starts_with(prefix))
                return true;
    return false;
}

TEST(PlayerProcess, QtTakesItsOwnOptionsAndSignalsEndThePlayerAsClosingItsWindowDoes) {
    SndKitLibrary().SetFileName(VSR_SNDKIT_PATH); // the voice is encoded in this process
    TTempDir fixtures, temp, home;
    const std::string recording = fixtures.File("r.vsr");
    TRecordingContent content{
        32, 16, {{0, TScreenPicture(32, 16, 0xFF)}}, {}, VoiceTrack(Tone(30000)), {}};
    WriteRecordingFile(recording, content);
    // The platform comes from the command line only; a style option is Qt's, not a file.
    const std::vector<std::string> environment = {
        "TMPDIR=" + temp.Path().string(),         "XDG_DATA_HOME=" + home.File("data"),
        "XDG_CONFIG_HOME=" + home.File("config"), "XDG_RUNTIME_DIR=" + home.Path().string(),
        "QT_QPA_PLATFORM=no-such-platform",       "SDL_AUDIODRIVER=dummy"};
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        SCOPED_TRACE(strsignal(signal));
        const std::string orphan = "spx" + EndedProcessId() + "-abcdef";
        WriteFileBytes(temp.File(orphan), Bytes("left by a killed run"));
        TChildProcess player(VSR_PLAYER_PATH,
                             {"-platform", "offscreen", "-style", "fusion", recording},
                             environment);
        ASSERT_TRUE(Appears(temp, "spx" + std::to_string(player.Id()))) << "the voice track";
        player.Signal(signal);
        const TProcessResult result = player.Wait(60s);
        EXPECT_EQ(result.ExitCode, 0) << result.Err;
        EXPECT_EQ(result.Err.find("not found"), std::string::npos) << result.Err;
        EXPECT_EQ(temp.Names(), std::vector<std::string>{});
    }
}

} // namespace
} // namespace vsr::test
