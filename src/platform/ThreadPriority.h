#pragma once
// Thread priorities and thread identifiers of the operating system.
//
// Linux has no per-thread priority classes for ordinary programs; a thread's niceness is
// changed relative to the process's own (the main thread's) niceness, and Idle uses the
// SCHED_IDLE policy. Raising a priority needs a permission most users lack: such a change
// simply fails and the thread keeps its priority. All functions may be called from any thread.

#include <cstdint>

namespace vsr {

enum class TThreadPriority { Idle, Lowest, Lower, Normal, Higher, Highest, TimeCritical };

// The kernel's identifier of the calling thread (never 0).
std::uint32_t CurrentThreadId();

enum class TPriorityResult { Applied, Refused };

// Best effort; Refused when the system did not allow the change.
TPriorityResult SetThreadPriority(std::uint32_t threadId, TThreadPriority priority);

} // namespace vsr
