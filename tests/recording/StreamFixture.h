#pragma once
// A fixture that streams a written recording from a test server and records what the stream
// reports through its events.

#include "recording/ScreenRecorderPlaybackStream.h"
#include "support/Recordings.h"
#include "support/Pump.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vsr::test {

class StreamFixture : public ::testing::Test {
protected:
    // Writes the recording "rec/a.vsr" in the test folder with keyFrames key frames.
    void WriteRecording(int keyFrames);
    // A stream of "rec/a.vsr" from the server at baseURL, its events wired, not started.
    std::unique_ptr<TScreenRecorderPlaybackStream> MakeStream(const std::string& baseURL);
    // The name of the temporary file, once the last part has started.
    std::string TempFileName() const;
    // All bytes the stream's temporary file holds, read through GetStream under the lock.
    std::vector<std::byte> DownloadedBytes(TScreenRecorderPlaybackStream& stream);

    TTempDir FDir;
    std::string FFileName;
    TRecordingLayout FLayout;
    std::vector<std::byte> FBytes;

    std::atomic<int> FStarted = 0;
    std::atomic<int> FLastProgress = 0;
    std::atomic<int> FFirstProgress = 0;
    int FLastFinished = 0;
    int FFirstFinished = 0;
    std::string FLastError;
    std::string FFirstError;
    std::vector<std::int32_t> FProgressSeen; // Progress at each progress event
    mutable std::mutex FLock;
    std::string FTempFileName;
};

} // namespace vsr::test
