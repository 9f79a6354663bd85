#include "platform/MainThread.h"

namespace vsr {

namespace {
// Initialised during static initialisation, which runs on the thread that later enters main().
const std::thread::id gMainThreadId = std::this_thread::get_id();
} // namespace

std::thread::id MainThreadId() {
    return gMainThreadId;
}

bool IsMainThread() {
    return std::this_thread::get_id() == gMainThreadId;
}

} // namespace vsr
