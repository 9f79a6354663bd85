#pragma once
// The program's main thread: the thread that ran static initialisation, which is the thread
// that enters main(). Components that report back to "the main thread" compare against it.
// Both functions may be called from any thread.

#include <thread>

namespace vsr {

std::thread::id MainThreadId();
bool IsMainThread();

} // namespace vsr
