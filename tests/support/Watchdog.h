#pragma once
// Ends the test program (SIGALRM) when a test takes far longer than it may, so that a test that
// waits for something that never comes fails instead of hanging the suite. One at a time.

#include <chrono>
#include <unistd.h>

namespace vsr::test {

class TWatchdog {
public:
    explicit TWatchdog(std::chrono::seconds limit = std::chrono::seconds(20)) {
        ::alarm(static_cast<unsigned>(limit.count()));
    }
    ~TWatchdog() { ::alarm(0); }
    TWatchdog(const TWatchdog&) = delete;
    TWatchdog& operator=(const TWatchdog&) = delete;
};

} // namespace vsr::test
