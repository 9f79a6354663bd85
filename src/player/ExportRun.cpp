#include "player/ExportRun.h"

#include <chrono>

namespace vsr {

TExportRun::TExportRun(QObject* context, std::string input, std::string output,
                       TExportOptions options, std::function<bool()> inputComplete, TEvents events)
    : FContext(context), FEvents(std::move(events)),
      FWorker([this, input = std::move(input), output = std::move(output), options,
               inputComplete = std::move(inputComplete)] {
          Work(input, output, options, inputComplete);
      }) {}

TExportRun::~TExportRun() {
    *FAlive = false;
    FCancel = true;
    FWorker.join();
}

void TExportRun::Work(const std::string& input, const std::string& output,
                      const TExportOptions& options, const std::function<bool()>& inputComplete) {
    std::string error;
    bool cancelled = false;
    try {
        while (inputComplete && !inputComplete()) {
            if (FCancel)
                throw EExportCancelled("The export was cancelled");
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        TVideoExport exporter(input, output, options);
        exporter.Run(
            [this, progress = FEvents.Progress](std::int64_t done, std::int64_t frames) {
                Deliver([progress, done, frames] { progress(done, frames); });
            },
            FCancel);
    } catch (const EExportCancelled& stop) {
        cancelled = true;
        error = stop.what();
    } catch (const std::exception& failure) {
        error = failure.what();
    }
    // A copy runs, so that the window may end this run from inside the call.
    Deliver([finished = FEvents.Finished, error, cancelled] { finished(error, cancelled); });
}

void TExportRun::Deliver(std::function<void()> call) {
    if (!FContext)
        return;
    QMetaObject::invokeMethod(
        FContext.data(),
        [alive = FAlive, call = std::move(call)] {
            if (*alive)
                call();
        },
        Qt::QueuedConnection);
}

} // namespace vsr
