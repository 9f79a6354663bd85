#pragma once
// Waiting in tests while the calling thread's messages are processed, so that notifications
// posted by workers arrive; and counting the process's threads.

#include <chrono>
#include <cstddef>
#include <functional>

namespace vsr::test {

// Processes the calling thread's messages until done() holds or limit passes; done()'s value.
bool PumpUntil(const std::function<bool()>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));
void PumpFor(std::chrono::milliseconds duration);

// Threads of this process.
std::size_t ThreadCount();

} // namespace vsr::test
