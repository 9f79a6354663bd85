#include "platform/ThreadPriority.h"

#include <algorithm>
#include <cerrno>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace vsr {

namespace {

constexpr int cMinNice = -20;
constexpr int cMaxNice = 19;

int NiceDelta(TThreadPriority priority) {
    switch (priority) {
    case TThreadPriority::Idle:
        return cMaxNice - cMinNice;
    case TThreadPriority::Lowest:
        return 10;
    case TThreadPriority::Lower:
        return 5;
    case TThreadPriority::Normal:
        return 0;
    case TThreadPriority::Higher:
        return -5;
    case TThreadPriority::Highest:
        return -10;
    case TThreadPriority::TimeCritical:
        return cMinNice - cMaxNice;
    }
    return 0;
}

int ProcessNice() {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, static_cast<id_t>(getpid()));
    return errno == 0 ? nice : 0;
}

bool SetPolicy(std::uint32_t threadId, int policy) {
    const auto tid = static_cast<pid_t>(threadId);
    if (sched_getscheduler(tid) == policy)
        return true;
    sched_param param{};
    return sched_setscheduler(tid, policy, &param) == 0;
}

} // namespace

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(gettid());
}

TPriorityResult SetThreadPriority(std::uint32_t threadId, TThreadPriority priority) {
    const int policy = priority == TThreadPriority::Idle ? SCHED_IDLE : SCHED_OTHER;
    const bool policySet = SetPolicy(threadId, policy);
    const int nice = std::clamp(ProcessNice() + NiceDelta(priority), cMinNice, cMaxNice);
    const bool niceSet = setpriority(PRIO_PROCESS, static_cast<id_t>(threadId), nice) == 0;
    return policySet && niceSet ? TPriorityResult::Applied : TPriorityResult::Refused;
}

} // namespace vsr
