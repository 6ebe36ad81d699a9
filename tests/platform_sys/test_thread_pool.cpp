// The pool that runs the parallel steps: steps inside steps and steps from several threads at
// once each do every item once and end, and work run beside the caller is done when joined.
#include "platform/sys/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// A parallel step whose items run steps of their own and work beside them, as the transforms
// and the strike weights do on the pool's threads.
void nested_step(std::vector<std::atomic<int>>& counts, int base) {
    sys::run_in_parallel(8, 8, [&](int, int item) {
        std::atomic<int> inner{0};
        sys::Beside beside([&] { ++counts[std::size_t(base + item * 10)]; });
        sys::run_in_parallel(9, 4, [&](int, int i) {
            ++counts[std::size_t(base + item * 10 + 1 + i)];
            ++inner;
        });
        beside.join();
        EXPECT_EQ(inner.load(), 9);
    });
}

TEST(ThreadPool, StepsInsideStepsAndFromSeveralThreadsDoEveryItemOnce) {
    for (int round = 0; round < 20; ++round) {
        std::vector<std::atomic<int>> counts(3 * 80);
        std::thread a([&] { nested_step(counts, 0); }), b([&] { nested_step(counts, 80); });
        nested_step(counts, 160);
        a.join();
        b.join();
        for (std::size_t i = 0; i < counts.size(); ++i)
            ASSERT_EQ(counts[i].load(), 1) << "round " << round << " item " << i;
    }
}

// Repeated: workers that have all ended by the time the owner looks must not run again.
TEST(ThreadPool, WavenumbersOnEveryWorkerAndTheWorkersThatLeave) {
    for (int round = 0; round < 100; ++round)
        for (int workers : {2, 8, 12}) {
            std::vector<std::atomic<int>> done(12);
            std::atomic<int> left{0};
            const sys::StepsOutcome outcome = sys::run_steps(
                12, workers,
                [&](int, int l, const std::atomic<bool>&) {
                    ++done[std::size_t(l)];
                    return sys::step_done;
                },
                [] { return false; }, [](int) {}, [&](int, const std::atomic<bool>&) { ++left; });
            EXPECT_FALSE(outcome.aborted);
            EXPECT_EQ(outcome.failed, -1);
            for (const std::atomic<int>& d : done)
                ASSERT_EQ(d.load(), 1) << workers << " workers";
            ASSERT_EQ(left.load(), std::min(workers, 12)) << workers << " workers, round " << round;
        }
}

} // namespace
