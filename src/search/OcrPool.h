#pragma once
// Text recognition on worker threads, one engine each: parts of pictures go in, their words
// come back through futures in the order the caller keeps them.

#include "search/OcrEngine.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace vsr {

class TOcrPool {
public:
    // threads <= 0: one per core. The engines start on their threads; one that cannot start
    // answers every job it takes with its error.
    TOcrPool(const std::string& languages, int threads);
    ~TOcrPool(); // the jobs not started are dropped
    TOcrPool(const TOcrPool&) = delete;
    TOcrPool& operator=(const TOcrPool&) = delete;

    // The words of area of picture (copied before this returns), their boxes in the picture.
    std::future<std::vector<TOcrWord>> Recognize(const TConstPixels32& picture, const TRect& area);
    int Threads() const { return static_cast<int>(FThreads.size()); }

private:
    using TJob = std::packaged_task<std::vector<TOcrWord>(TOcrEngine*)>;
    void Work(const std::string& languages);

    std::mutex FLock;
    std::condition_variable FWake;
    std::deque<TJob> FJobs;
    bool FStopping = false;
    std::vector<std::jthread> FThreads;
};

} // namespace vsr
