#include "player/SearchRun.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace vsr {

namespace {

constexpr std::uint32_t cWaitingMessage = cFirstUserMessage + 310;
constexpr std::uint32_t cProgressMessage = cFirstUserMessage + 311;
constexpr std::uint32_t cFinishedMessage = cFirstUserMessage + 312;

// One core stays with playback, which goes on while the index is built.
TIndexOptions BackgroundOptions() {
    TIndexOptions options;
    options.Threads = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()) - 1);
    return options;
}

} // namespace

TSearchRun::TSearchRun(std::string recording, TIndexPlace place,
                       std::function<bool()> recordingComplete, TEvents events)
    : FEvents(std::move(events)),
      FTarget(MessageQueue().CreateTarget([this](const TMessage& message) { Received(message); })),
      FWorker([this, recording = std::move(recording), place,
               recordingComplete = std::move(recordingComplete)] {
          Work(recording, place, recordingComplete);
      }) {}

TSearchRun::~TSearchRun() {
    FCancel = true;
    FWorker.join();
}

void TSearchRun::Work(const std::string& recording, TIndexPlace place,
                      const std::function<bool()>& recordingComplete) {
    try {
        if (recordingComplete && !recordingComplete())
            FTarget->Post({cWaitingMessage, 0, 0});
        while (recordingComplete && !recordingComplete()) {
            if (FCancel)
                throw EIndexCancelled("The text index was cancelled");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        // Only whole percents are posted: the build reports far more often than that.
        const TIndexProgress progress = [this](std::uint32_t doneMs, std::uint32_t totalMs) {
            const int percent =
                totalMs ? static_cast<int>(std::uint64_t{std::min(doneMs, totalMs)} * 100 / totalMs)
                        : 0;
            if (percent == std::exchange(FPercentPosted, percent))
                return;
            FTarget->Post({cProgressMessage, static_cast<std::intptr_t>(doneMs),
                           static_cast<std::intptr_t>(totalMs)});
        };
        FResult = OpenTextIndex(recording, BackgroundOptions(), place, "", progress, FCancel);
    } catch (const std::exception& failure) { // also the cancellation, which nobody reads
        FError = failure.what();
    }
    FTarget->Post({cFinishedMessage, 0, 0});
}

// The end's event may destroy this run: it gets the result moved out, and nothing is touched
// after it.
void TSearchRun::Received(const TMessage& message) {
    switch (message.Msg) {
    case cWaitingMessage:
        FEvents.Waiting();
        break;
    case cProgressMessage:
        FEvents.Progress(static_cast<std::uint32_t>(message.WParam),
                         static_cast<std::uint32_t>(message.LParam));
        break;
    case cFinishedMessage: {
        const auto finished = FEvents.Finished;
        const std::string error = FError;
        finished(std::move(FResult), error);
        break;
    }
    default:
        break;
    }
}

} // namespace vsr
