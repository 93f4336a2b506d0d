#include "base/OrderedPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using JobEnd = OrderedPool::JobEnd;

// The order the jobs were started in, and on which worker.
struct Journal {
    std::mutex mutex;
    std::vector<size_t> started;
    void Start(size_t index)
    {
        const std::lock_guard lock(mutex);
        started.push_back(index);
    }
};

TEST(OrderedPool, StartsJobsInListOrderAndRunsEachOnce)
{
    OrderedPool pool(3, 20);
    Journal journal;
    std::vector<std::atomic<int>> runs(20);
    OrderedPool::Hooks hooks;
    // Handed out in list order; when each worker gets going is the scheduler's.
    // A job waiting for a free worker is asked about again: counted once.
    hooks.admit = [&](size_t index) {
        if (journal.started.empty() || journal.started.back() != index)
            journal.Start(index);
        return true;
    };
    hooks.run = [&](int worker, size_t index) {
        EXPECT_GE(worker, 0);
        EXPECT_LT(worker, 3);
        ++runs[index];
        return JobEnd::Done;
    };
    pool.Run(hooks);
    ASSERT_EQ(journal.started.size(), 20u);
    for (size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(journal.started[i], i);
        EXPECT_EQ(runs[i].load(), 1);
    }
}

TEST(OrderedPool, NeverRunsMoreJobsAtOnceThanWorkers)
{
    OrderedPool pool(2, 8);
    std::atomic<int> running = 0, most = 0;
    OrderedPool::Hooks hooks;
    hooks.run = [&](int, size_t) {
        const int now = ++running;
        int seen = most;
        while (now > seen && !most.compare_exchange_weak(seen, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        --running;
        return JobEnd::Done;
    };
    pool.Run(hooks);
    EXPECT_LE(most.load(), 2);
}

TEST(OrderedPool, PassedOverJobsAreNotRunAndTheRestGoOn)
{
    OrderedPool pool(2, 6);
    Journal journal;
    std::vector<size_t> passedOver;
    OrderedPool::Hooks hooks;
    hooks.admit = [&](size_t index) {
        if (index % 2 == 1) {
            passedOver.push_back(index);
            return false;
        }
        return true;
    };
    hooks.run = [&](int, size_t index) {
        journal.Start(index);
        return JobEnd::Done;
    };
    pool.Run(hooks);
    EXPECT_EQ(passedOver, (std::vector<size_t>{1, 3, 5}));
    std::sort(journal.started.begin(), journal.started.end()); // two workers: either may start first
    EXPECT_EQ(journal.started, (std::vector<size_t>{0, 2, 4}));
}

TEST(OrderedPool, AFailedJobGivesUpTheJobsAfterItOnly)
{
    OrderedPool pool(1, 5);
    Journal journal;
    std::vector<bool> givenUp(5);
    OrderedPool::Hooks hooks;
    hooks.run = [&](int, size_t index) {
        journal.Start(index);
        return index == 2 ? JobEnd::GiveUpLater : JobEnd::Done;
    };
    pool.Run(hooks);
    EXPECT_EQ(journal.started, (std::vector<size_t>{0, 1, 2}));
    EXPECT_FALSE(pool.GivenUp(2));
    EXPECT_TRUE(pool.GivenUp(3));
    EXPECT_FALSE(pool.Stopped());
}

TEST(OrderedPool, EndingTheHandingOutLetsRunningJobsFinish)
{
    OrderedPool pool(2, 10);
    std::atomic<int> finished = 0;
    std::atomic<bool> releaseSecond = false;
    OrderedPool::Hooks hooks;
    hooks.run = [&](int, size_t index) {
        if (index == 1) {
            while (!releaseSecond)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ++finished;
        if (index == 0) {
            releaseSecond = true;
            return JobEnd::EndHandingOut;
        }
        return JobEnd::Done;
    };
    pool.Run(hooks);
    EXPECT_FALSE(pool.GivenUp(1));
    EXPECT_LE(finished.load(), 3); // at most one more was handed out before the end was heard
    EXPECT_GE(finished.load(), 2);
}

TEST(OrderedPool, RelaySayingNoStopsTheRunAndTheJobsHearIt)
{
    OrderedPool pool(2, 100);
    std::atomic<int> started = 0;
    std::atomic<bool> sawStop = false;
    OrderedPool::Hooks hooks;
    hooks.run = [&](int, size_t) {
        ++started;
        while (!pool.Stopped())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        sawStop = true;
        return JobEnd::Done;
    };
    int turns = 0;
    hooks.relay = [&] { return ++turns < 4; };
    pool.Run(hooks);
    EXPECT_TRUE(pool.Stopped());
    EXPECT_TRUE(sawStop);
    EXPECT_LE(started.load(), 2);
}

TEST(OrderedPool, PostedCallsRunOnTheCallingThreadInOrder)
{
    OrderedPool pool(3, 9);
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<size_t> delivered;
    bool elsewhere = false;
    OrderedPool::Hooks hooks;
    hooks.run = [&](int, size_t index) {
        pool.Post([&, index] {
            elsewhere = elsewhere || std::this_thread::get_id() != caller;
            delivered.push_back(index);
        });
        pool.Post([&, index] { delivered.push_back(index + 100); });
        return JobEnd::Done;
    };
    pool.Run(hooks);
    EXPECT_FALSE(elsewhere);
    ASSERT_EQ(delivered.size(), 18u);
    // Each job's own calls arrive in the order it posted them.
    for (size_t i = 0; i < 9; ++i) {
        const auto first = std::find(delivered.begin(), delivered.end(), i);
        const auto second = std::find(delivered.begin(), delivered.end(), i + 100);
        EXPECT_LT(first, second);
    }
}

TEST(OrderedPool, AnExceptionEscapingAJobIsThrownByRun)
{
    OrderedPool pool(2, 4);
    OrderedPool::Hooks hooks;
    hooks.run = [](int, size_t index) -> JobEnd {
        if (index == 1)
            throw std::runtime_error("job 1");
        return JobEnd::Done;
    };
    EXPECT_THROW(pool.Run(hooks), std::runtime_error);
}

} // namespace
