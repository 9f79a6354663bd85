#include "player/ExportRun.h"

#include <chrono>

namespace vsr {

namespace {

constexpr std::uint32_t cProgressMessage = cFirstUserMessage + 300;
constexpr std::uint32_t cFinishedMessage = cFirstUserMessage + 301;

} // namespace

TExportRun::TExportRun(std::string input, std::string output, TExportOptions options,
                       std::function<bool()> inputComplete, TEvents events)
    : FEvents(std::move(events)),
      FTarget(MessageQueue().CreateTarget([this](const TMessage& message) { Received(message); })),
      FWorker([this, input = std::move(input), output = std::move(output), options,
               inputComplete = std::move(inputComplete)] {
          Work(input, output, options, inputComplete);
      }) {}

TExportRun::~TExportRun() {
    FCancel = true;
    FWorker.join();
}

void TExportRun::Work(const std::string& input, const std::string& output,
                      const TExportOptions& options, const std::function<bool()>& inputComplete) {
    bool cancelled = false;
    try {
        while (inputComplete && !inputComplete()) {
            if (FCancel)
                throw EExportCancelled("The export was cancelled");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        TVideoExport exporter(input, output, options);
        exporter.Run(
            [this](std::int64_t done, std::int64_t frames) {
                FTarget->Post({cProgressMessage, static_cast<std::intptr_t>(done),
                               static_cast<std::intptr_t>(frames)});
            },
            FCancel);
    } catch (const EExportCancelled& stop) {
        cancelled = true;
        FError = stop.what();
    } catch (const std::exception& failure) {
        FError = failure.what();
    }
    FTarget->Post({cFinishedMessage, cancelled ? 1 : 0, 0});
}

// The end's event may destroy this run: it gets copies, and nothing is touched after it.
void TExportRun::Received(const TMessage& message) {
    if (message.Msg == cProgressMessage) {
        FEvents.Progress(message.WParam, message.LParam);
    } else if (message.Msg == cFinishedMessage) {
        const auto finished = FEvents.Finished;
        const std::string error = FError;
        finished(error, message.WParam != 0);
    }
}

} // namespace vsr
