#pragma once
// TExportRun: one export on a worker thread of its own, so that the window stays responsive.
// It first waits until the input is complete (a stream still downloading), then exports; its
// progress and its end reach the window's thread through Qt's queued calls on context.
// Destroying it cancels the export and waits for the worker.

#include "export/VideoExport.h"

#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

namespace vsr {

class TExportRun {
public:
    struct TEvents {
        std::function<void(std::int64_t done, std::int64_t frames)> Progress;
        // error: empty after success; cancelled: the user's Cancel ended it.
        std::function<void(const std::string& error, bool cancelled)> Finished;
    };

    TExportRun(QObject* context, std::string input, std::string output, TExportOptions options,
               std::function<bool()> inputComplete, TEvents events);
    ~TExportRun();
    TExportRun(const TExportRun&) = delete;
    TExportRun& operator=(const TExportRun&) = delete;

    void Cancel() { FCancel = true; }

private:
    void Work(const std::string& input, const std::string& output, const TExportOptions& options,
              const std::function<bool()>& inputComplete);
    // Runs call on the context's thread, unless the context or this run is gone by then.
    void Deliver(std::function<void()> call);

    QPointer<QObject> FContext;
    TEvents FEvents;
    std::atomic<bool> FCancel = false;
    std::shared_ptr<std::atomic<bool>> FAlive = std::make_shared<std::atomic<bool>>(true);
    std::thread FWorker; // last: starts once everything else exists
};

} // namespace vsr
