// Manual-reset events and the wait on several of them.
#include "platform/Event.h"

#include "support/Watchdog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace vsr {
namespace {

using namespace std::chrono_literals;

TEST(Event, StaysSignalledUntilReset) {
    TEvent event;
    EXPECT_FALSE(event.Signalled());
    EXPECT_FALSE(event.Wait(0ms));
    event.Set();
    EXPECT_TRUE(event.Wait(0ms));
    EXPECT_TRUE(event.Wait(0ms)) << "a wait must not reset a manual-reset event";
    event.Reset();
    EXPECT_FALSE(event.Wait(0ms));
    EXPECT_TRUE(TEvent(TEventState::Signalled).Signalled());
}

TEST(Event, WaitRunsOutOfTime) {
    TEvent event;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(event.Wait(30ms));
    EXPECT_GE(std::chrono::steady_clock::now() - start, 30ms);
}

TEST(Event, SetReleasesEveryWaiterOfAnotherThread) {
    test::TWatchdog watchdog("SetReleasesEveryWaiterOfAnotherThread");
    TEvent event;
    std::atomic<int> released = 0;
    std::thread first([&] { released += event.Wait() ? 1 : 0; });
    std::thread second([&] { released += event.Wait() ? 1 : 0; });
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(released, 0);
    event.Set();
    first.join();
    second.join();
    EXPECT_EQ(released, 2);
}

TEST(WaitForAny, ReturnsTheFirstSignalledInArrayOrder) {
    TEvent run;
    TEvent stop;
    TEvent* const events[] = {&run, &stop};
    EXPECT_EQ(WaitForAny(events, 0ms), cWaitTimeout);
    stop.Set();
    EXPECT_EQ(WaitForAny(events, 0ms), 1);
    run.Set();
    EXPECT_EQ(WaitForAny(events, 0ms), 0) << "both signalled: the first index wins";
    run.Reset();
    EXPECT_EQ(WaitForAny(events, cWaitInfinite), 1);
}

TEST(WaitForAny, WakesWhenALaterEventIsSetOnAnotherThread) {
    test::TWatchdog watchdog("WakesWhenALaterEventIsSetOnAnotherThread");
    TEvent run;
    TEvent stop;
    TEvent* const events[] = {&run, &stop};
    std::thread setter([&] {
        std::this_thread::sleep_for(20ms);
        stop.Set();
    });
    EXPECT_EQ(WaitForAny(events), 1);
    setter.join();
}

TEST(WaitForAny, AnEventSetAndResetAtOnceStillReleasesTheWait) {
    test::TWatchdog watchdog("AnEventSetAndResetAtOnceStillReleasesTheWait");
    TEvent run;
    TEvent stop;
    TEvent* const events[] = {&run, &stop};
    std::thread setter([&] {
        std::this_thread::sleep_for(50ms); // the wait is blocked by then
        stop.Set();
        stop.Reset();
    });
    EXPECT_EQ(WaitForAny(events, 10s), 1);
    setter.join();
}

TEST(WaitForAny, TimesOutWhenNothingIsSet) {
    TEvent run;
    TEvent stop;
    TEvent* const events[] = {&run, &stop};
    EXPECT_EQ(WaitForAny(events, 20ms), cWaitTimeout);
}

} // namespace
} // namespace vsr
