#include "recording/StreamFixture.h"

#include "support/Recordings.h"

#include <filesystem>

namespace vsr::test {

void StreamFixture::WriteRecording(int keyFrames) {
    std::filesystem::create_directories(FDir.Path() / "rec");
    FFileName = FDir.File("rec/a.vsr");
    FLayout = WriteStreamRecording(FFileName, keyFrames);
    FBytes = ReadFileBytes(FFileName);
}

std::unique_ptr<TScreenRecorderPlaybackStream>
StreamFixture::MakeStream(const std::string& baseURL) {
    const std::string host = baseURL.substr(baseURL.find("://") + 3);
    auto stream =
        std::make_unique<TScreenRecorderPlaybackStream>("vsrfile://" + host + "rec/a.vsr");
    auto progress = [this](TScreenRecorderPlaybackStream& sender, std::atomic<int>& count) {
        std::lock_guard lock(FLock);
        FProgressSeen.push_back(sender.Progress());
        ++count;
    };
    stream->OnLastPartStarted = [this](TScreenRecorderPlaybackStream& sender) {
        std::lock_guard lock(FLock);
        FTempFileName = sender.FileName();
        ++FStarted;
    };
    stream->OnLastPartProgress = [this, progress](auto& s) { progress(s, FLastProgress); };
    stream->OnFirstPartProgress = [this, progress](auto& s) { progress(s, FFirstProgress); };
    stream->OnLastPartFinished = [this](auto&) { ++FLastFinished; };
    stream->OnFirstPartFinished = [this](auto&) { ++FFirstFinished; };
    stream->OnLastPartError = [this](auto&, const std::string& message) { FLastError = message; };
    stream->OnFirstPartError = [this](auto&, const std::string& message) { FFirstError = message; };
    return stream;
}

std::string StreamFixture::TempFileName() const {
    std::lock_guard lock(FLock);
    return FTempFileName;
}

std::vector<std::byte> StreamFixture::DownloadedBytes(TScreenRecorderPlaybackStream& stream) {
    stream.Lock();
    TStream& file = stream.GetStream();
    std::vector<std::byte> bytes(static_cast<std::size_t>(file.Size()));
    file.SetPosition(0);
    file.ReadBuffer(bytes);
    stream.Unlock();
    return bytes;
}

} // namespace vsr::test
