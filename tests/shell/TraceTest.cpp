#include "shell/Trace.h"
#include "support/CaptureTracer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>
#include <vector>

namespace vsr {
namespace {

TEST(Trace, LinesReachTheSinkUnchanged) {
    test::TCaptureTracer capture;
    Trace("Enter menu loop");
    TraceFmt("downloaded %d bytes in %d ms -> new block size: %d", 4096, 12, 3413333);
    TraceFmt("size %d", std::int64_t{3'000'000'000LL});
    const std::vector<std::string> expected = {
        "Enter menu loop", "downloaded 4096 bytes in 12 ms -> new block size: 3413333",
        "size 3000000000"};
    EXPECT_EQ(capture.Lines(), expected);
}

TEST(Trace, DisabledSinkWritesNothing) {
    test::TCaptureTracer capture;
    Trace("before");
    capture.SetEnabled(false);
    Trace("while disabled");
    TraceFmt("while disabled %d", 2);
    capture.SetEnabled(true);
    Trace("after");
    EXPECT_EQ(capture.Lines(), (std::vector<std::string>{"before", "after"}));
}

TEST(Trace, WithoutSinkRaisesETracer) {
    auto previous = SetTracer(nullptr);
    try {
        Trace("lost");
        ADD_FAILURE() << "Trace without a sink did not raise";
    } catch (const ETracer& e) {
        EXPECT_STREQ(e.what(), "A TTracer is not initialized");
    }
    EXPECT_THROW(TraceFmt("%d", 1), ETracer);
    SetTracer(std::move(previous));
    EXPECT_NO_THROW(Trace("back"));
}

TEST(Trace, ConcurrentCallersEachGetWholeLines) {
    test::TCaptureTracer capture;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            for (int i = 0; i < 200; ++i)
                TraceFmt("thread %d line %d", t, i);
        });
    for (auto& thread : threads)
        thread.join();
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 800u);
    EXPECT_EQ(capture.CountOf("thread 3 line 199"), 1u);
}

} // namespace
} // namespace vsr
