#pragma once
// TSearchRun: a recording's text index opened (read, or built and written) on a worker thread
// of its own, so that the window stays responsive. It first waits until the recording is
// complete (a stream still downloading); its waiting, progress and end reach the creating
// thread as messages (MessageQueue). Destroying it cancels the build and waits for the worker;
// the core writes the index atomically, so nothing is left half-written. The end's event may
// destroy it.

#include "platform/MessageQueue.h"
#include "search/TextIndexer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace vsr {

class TSearchRun {
public:
    struct TEvents {
        // The recording is not complete yet: the build waits for it.
        std::function<void()> Waiting;
        std::function<void(std::uint32_t doneMs, std::uint32_t totalMs)> Progress;
        // index: empty after an error, which error then tells.
        std::function<void(std::optional<TOpenedIndex> index, const std::string& error)> Finished;
    };

    TSearchRun(std::string recording, TIndexPlace place, std::function<bool()> recordingComplete,
               TEvents events);
    ~TSearchRun();
    TSearchRun(const TSearchRun&) = delete;
    TSearchRun& operator=(const TSearchRun&) = delete;

private:
    void Work(const std::string& recording, TIndexPlace place,
              const std::function<bool()>& recordingComplete);
    void Received(const TMessage& message);

    TEvents FEvents;
    std::atomic<bool> FCancel = false;
    // Written by the worker before it posts the end.
    std::optional<TOpenedIndex> FResult;
    std::string FError;
    int FPercentPosted = -1; // worker only
    std::unique_ptr<TMessageTarget> FTarget;
    std::thread FWorker; // last: starts once everything else exists
};

} // namespace vsr
