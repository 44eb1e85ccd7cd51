// The in-order hand-back of work done on several threads: results come back by index whatever
// order the work ends in, a failure reaches the caller at its own index, a stop ends the wait, and
// no work starts more than `ahead` places past what was taken.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <latch>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/ordered_workers.hpp"

namespace lf::platform {
namespace {

TEST(OrderedWorkers, ResultsComeBackInIndexOrderWhateverOrderTheWorkEndsIn) {
    // Index 0 cannot end before every other index has ended, so the others are surely done first.
    constexpr int count = 8;
    std::latch othersDone(count - 1);
    OrderedWorkers<std::string> workers(count, 4, count, [&](int index, const StopToken&) {
        if (index == 0) {
            othersDone.wait();
        } else {
            othersDone.count_down();
        }
        return "item " + std::to_string(index);
    });
    for (int index = 0; index < count; ++index) EXPECT_EQ(workers.take({}), "item " + std::to_string(index));
}

TEST(OrderedWorkers, AFailureIsThrownAtItsOwnIndexAfterTheResultsBeforeIt) {
    // Index 3 fails before index 1 has even finished; the caller still gets 0, 1 and 2 first.
    std::latch threeFailed(1);
    OrderedWorkers<int> workers(6, 3, 6, [&](int index, const StopToken&) {
        if (index == 1) threeFailed.wait();
        if (index == 3) {
            threeFailed.count_down();
            throw std::runtime_error("three is broken");
        }
        if (index == 5) throw std::runtime_error("five is broken");
        return index * 10;
    });
    EXPECT_EQ(workers.take({}), 0);
    EXPECT_EQ(workers.take({}), 10);
    EXPECT_EQ(workers.take({}), 20);
    try {
        workers.take({});
        FAIL() << "index 3 must throw";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "three is broken");
    }
}

TEST(OrderedWorkers, StopEndsTheWaitAndTheRunningWorkIsAskedToStop) {
    std::atomic<bool> workSawStop{false};
    std::stop_source stop;
    {
        OrderedWorkers<int> workers(4, 2, 4, [&](int, const StopToken& abandon) {
            // Work that ends only when it is asked to.
            while (!abandon.stop_requested()) std::this_thread::yield();
            workSawStop = true;
            throw Cancelled();
            return 0;
        });
        std::jthread stopper([&] { stop.request_stop(); });
        EXPECT_THROW(workers.take(stop.get_token()), Cancelled);
    }
    // Leaving the scope asked the running work to stop and waited for it.
    EXPECT_TRUE(workSawStop);
}

TEST(OrderedWorkers, NoWorkStartsMoreThanAheadPlacesPastWhatWasTaken) {
    constexpr int count = 20, ahead = 3;
    // Counted before each take, so it is never behind the workers' own count of what was taken.
    std::atomic<int> taking{0};
    std::atomic<int> tooEarly{-1};
    OrderedWorkers<int> workers(count, 4, ahead, [&](int index, const StopToken&) {
        if (index >= taking.load() + ahead) tooEarly = index;
        return index;
    });
    for (int index = 0; index < count; ++index) {
        ++taking;
        EXPECT_EQ(workers.take({}), index);
    }
    EXPECT_EQ(tooEarly.load(), -1) << "index " << tooEarly.load() << " started too early";
}

TEST(OrderedWorkers, MoreWorkersThanWorkAndOneWorkerBothHandEverythingBack) {
    for (const int threads : {1, 16}) {
        SCOPED_TRACE(threads);
        std::atomic<int> calls{0};
        OrderedWorkers<int> workers(3, threads, 1, [&](int index, const StopToken&) {
            ++calls;
            return index + 100;
        });
        for (int index = 0; index < 3; ++index) EXPECT_EQ(workers.take({}), index + 100);
        EXPECT_EQ(calls.load(), 3);
    }
}

}  // namespace
}  // namespace lf::platform
