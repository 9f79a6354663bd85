#pragma once
// Ends the test program when a test takes far longer than it may, so that a test that waits
// for something that never comes fails instead of hanging the suite.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace vsr::test {

class TWatchdog {
public:
    explicit TWatchdog(std::string what, std::chrono::seconds limit = std::chrono::seconds(20))
        : FWhat(std::move(what)), FThread([this, limit] { Watch(limit); }) {}
    ~TWatchdog() {
        {
            std::lock_guard lock(FLock);
            FDone = true;
        }
        FWake.notify_all();
        FThread.join();
    }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;

private:
    void Watch(std::chrono::seconds limit) {
        std::unique_lock lock(FLock);
        if (FWake.wait_for(lock, limit, [this] { return FDone; }))
            return;
        std::fprintf(stderr, "Watchdog: '%s' did not finish in time\n", FWhat.c_str());
        std::_Exit(3);
    }

    std::string FWhat;
    std::mutex FLock;
    std::condition_variable FWake;
    bool FDone = false;
    std::thread FThread; // last: started once the other members exist
};

} // namespace vsr::test
