#pragma once
// TExportRun: one export on a worker thread of its own, so that the window stays responsive.
// It first waits until the input is complete (a stream still downloading), then exports; its
// progress and its end reach the creating thread as messages (MessageQueue). Destroying it
// cancels the export and waits for the worker; the events may destroy it.

#include "export/VideoExport.h"
#include "platform/MessageQueue.h"

#include <atomic>
#include <functional>
#include <memory>
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

    TExportRun(std::string input, std::string output, TExportOptions options,
               std::function<bool()> inputComplete, TEvents events);
    ~TExportRun();
    TExportRun(const TExportRun&) = delete;
    TExportRun& operator=(const TExportRun&) = delete;

    void Cancel() { FCancel = true; }

private:
    void Work(const std::string& input, const std::string& output, const TExportOptions& options,
              const std::function<bool()>& inputComplete);
    void Received(const TMessage& message);

    TEvents FEvents;
    std::atomic<bool> FCancel = false;
    std::string FError; // written by the worker before it posts the end
    std::unique_ptr<TMessageTarget> FTarget;
    std::thread FWorker; // last: starts once everything else exists
};

} // namespace vsr
