#include "recording/StreamTestSupport.h"

#include "platform/MessageQueue.h"

#include <algorithm>
#include <filesystem>
#include <thread>

namespace vsr::test {

namespace {

TScreenPicture NoisePicture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    TScreenPicture picture(width, height);
    std::uint32_t state = seed * 2654435761u + 1;
    for (std::uint32_t& pixel : picture.Pixels) {
        state = state * 1664525u + 1013904223u;
        pixel = state >> 8;
    }
    return picture;
}

} // namespace

TRecordingLayout WriteStreamRecording(const std::string& fileName, int keyFrames,
                                      std::size_t soundBytes) {
    TRecordingContent content;
    content.Width = 96;
    content.Height = 64;
    for (int i = 0; i < keyFrames; ++i) {
        const auto time = static_cast<std::uint32_t>(i * 1000);
        content.Pictures.push_back({time, NoisePicture(96, 64, static_cast<std::uint32_t>(i))});
        content.Pictures.push_back(
            {time + 500, NoisePicture(96, 64, static_cast<std::uint32_t>(i + 1000))});
        content.Cursors.push_back(
            {time + 1, static_cast<std::uint16_t>(i), static_cast<std::uint16_t>(2 * i)});
    }
    for (std::size_t i = 0; i < soundBytes; ++i)
        content.SoundTrack.push_back(static_cast<std::byte>(i * 31 + 7));
    TRecordingOptions options;
    options.KeyFrameInterval = 1000; // each whole second opens a segment
    return WriteRecordingFile(fileName, content, options);
}

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        MessageQueue().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

void PumpFor(std::chrono::milliseconds duration) {
    PumpUntil([] { return false; }, duration);
}

std::size_t ThreadCount() {
    const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

TFaultReply ServeRecording(const std::vector<std::byte>& fileBytes, const TFaultRequest& request) {
    const auto size = static_cast<std::int64_t>(fileBytes.size());
    if (IsInformationRequest(request))
        return TFaultReply::Answer(200, "OK|" + std::to_string(size) + "|1234|");
    const std::int64_t position =
        std::clamp<std::int64_t>(request.QueryNumber("position"), 0, size);
    const std::int64_t count =
        std::clamp<std::int64_t>(request.QueryNumber("size"), 0, size - position);
    const auto* first = reinterpret_cast<const char*>(fileBytes.data()) + position;
    return TFaultReply::Answer(200, "OK|" + std::string(first, static_cast<std::size_t>(count)));
}

bool IsInformationRequest(const TFaultRequest& request) {
    return request.Query("flag") == "-1";
}

} // namespace vsr::test
