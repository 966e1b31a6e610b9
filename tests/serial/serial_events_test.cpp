// Waiting in an event-pumping loop must stay calm and still answer promptly.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <thread>

#include "port_table.h"
#include "serial_test_util.h"

using namespace serialtest;

namespace {

TEST(ProcessSystemEvents, LoopingOnItForOneAndAHalfSecondsStaysCalm) {
    const std::clock_t cpu0 = std::clock();
    const double t0 = Timer();
    long calls = 0;
    while (Timer() - t0 < 1.5) {
        ProcessSystemEvents();
        ++calls;
    }
    const double wall = Timer() - t0;
    const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    std::printf(
        "[ figure   ] ProcessSystemEvents loop: %.1f %% CPU over %.2f s, %ld calls "
        "(%.2f ms a call)\n",
        100.0 * cpu / wall, wall, calls, 1000.0 * wall / double(calls));
    EXPECT_LT(cpu / wall, 0.5) << "a busy loop would use a whole core";
    EXPECT_GT(calls, 100) << "each call must come back within a few milliseconds";
}

TEST(ProcessSystemEvents, RunsPostedWorkWithoutWaitingForTheWakeUp) {
    PortTableReset();
    PortTableSetSimulated(1, false);
    ASSERT_EQ(Open(1), 0);
    Recorder r;
    ASSERT_EQ(r.Install(1), 0);
    // Average over a few exchanges: write, pump until the notification ran.
    double total = 0;
    const int rounds = 20;
    for (int i = 0; i < rounds; ++i) {
        const double t0 = Timer();
        ASSERT_EQ(Send(1, protocol::kEcho), 36);
        ASSERT_TRUE(PumpUntil([&] { return r.calls == i + 1; }, 1.0));
        total += Timer() - t0;
    }
    std::printf("[ figure   ] in-process instant sensor: write to notification %.3f ms\n",
                1000.0 * total / rounds);
    CloseCom(1);
    PortTableReset();
}

}  // namespace

// Another thread (the plant link's) may be the first to post: the call still runs in the
// event loop's thread. Each test runs in a process of its own, so nothing posted before.
TEST(PostToEventLoop, AFirstCallFromAnotherThreadRunsInTheEventLoop) {
    std::atomic<bool> ran{false};
    std::thread::id where;
    std::thread poster([&] {
        PostToEventLoop([&] {
            where = std::this_thread::get_id();
            ran = true;
        });
    });
    poster.join();
    const double t0 = Timer();
    while (!ran && Timer() - t0 < 2.0) ProcessSystemEvents();
    ASSERT_TRUE(ran);
    EXPECT_EQ(where, std::this_thread::get_id());
}
