#pragma once
// Helpers of the streaming tests: a recording with many small key-frame segments, a fault
// server handler that serves such a recording, message pumping and thread counting.

#include "recording/ScreenRecorderFileWriter.h"
#include "support/FaultServer.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vsr::test {

// Writes a recording of keyFrames key frames of noisy 96 x 64 pictures (segments of roughly
// 12 KiB), cursor entries and a voice track of soundBytes pattern bytes.
TRecordingLayout WriteStreamRecording(const std::string& fileName, int keyFrames,
                                      std::size_t soundBytes = 20000);

// Processes the main thread's messages until done() or the limit; done()'s last value.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
// Processes the main thread's messages for a while.
void PumpFor(std::chrono::milliseconds duration);

// Threads of this process.
std::size_t ThreadCount();

// Answers the download protocol for fileBytes as the server script does: "OK|size|crc|" for
// flag=-1, "OK|" and the bytes for flag=1.
TFaultReply ServeRecording(const std::vector<std::byte>& fileBytes, const TFaultRequest& request);

// "flag=-1" or "flag=1" requests.
bool IsInformationRequest(const TFaultRequest& request);

} // namespace vsr::test
