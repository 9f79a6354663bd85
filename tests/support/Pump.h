#pragma once
// Waiting in tests while the calling thread's messages are processed, so that notifications
// posted by workers arrive.

#include "platform/MessageQueue.h"

#include <chrono>
#include <functional>
#include <thread>

namespace vsr::test {

// Processes the calling thread's messages until done() holds or limit passes; done()'s value.
inline bool PumpUntil(const std::function<bool()>& done,
                      std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    for (const auto deadline = std::chrono::steady_clock::now() + limit; !done();) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        MessageQueue().ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline void PumpFor(std::chrono::milliseconds duration) {
    PumpUntil([] { return false; }, duration);
}

} // namespace vsr::test
