#include "Foundation/NSRunLoopInternals.hpp"
#include "dispatch/dispatch.h"

#include "Foundation/Foundation.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

std::uint64_t now() { return NS::RunLoopInternals::monotonicNow(); }
NS::RunLoop* mainLoop() { return NS::RunLoop::mainRunLoop(); }

class MainQueueTest : public ::testing::Test {
  protected:
    void TearDown() override { EXPECT_TRUE(NS::RunLoopInternals::of(mainLoop())->runUntilIdle(2.0)); }
};

struct Record {
    std::vector<int> order;
    std::vector<std::uint64_t> runAt;
};

void recordThree(void* context) {
    auto* record = static_cast<Record*>(context);
    record->order.push_back(3);
    record->runAt.push_back(now());
}

TEST_F(MainQueueTest, DelayedWorkRunsByDueTimeNeverEarlyAndFirstComeAmongEquals) {
    Record record;
    const dispatch_time_t later = dispatch_time(DISPATCH_TIME_NOW, 40 * NSEC_PER_MSEC);
    // From the same base, so that a pause between the two lines cannot make "sooner" the later.
    const dispatch_time_t sooner = dispatch_time(later, -20 * static_cast<std::int64_t>(NSEC_PER_MSEC));
    auto note = [&record](int i) {
        return [&record, i] {
            record.order.push_back(i);
            record.runAt.push_back(now());
        };
    };
    auto block = NS::Block::create(std::function<void()>(note(0)));
    dispatch_after(later, dispatch_get_main_queue(), block.get());
    dispatch_after(sooner, dispatch_get_main_queue(), note(1));
    dispatch_after(later, dispatch_get_main_queue(), note(2));
    dispatch_after_f(sooner, dispatch_get_main_queue(), &record, &recordThree);
    dispatch_async(dispatch_get_main_queue(), note(4));
    EXPECT_TRUE(record.order.empty()) << "work ran before the loop did";
    EXPECT_TRUE(NS::RunLoopInternals::of(mainLoop())->runUntilIdle(2.0));
    ASSERT_EQ(record.order, (std::vector<int>{4, 1, 3, 0, 2}));
    const dispatch_time_t dues[] = {later, sooner, later, sooner};
    for (std::size_t k = 1; k < record.order.size(); ++k) {
        EXPECT_GE(record.runAt[k], dues[record.order[k]]) << "item " << record.order[k] << " ran early";
    }
}

TEST_F(MainQueueTest, HandOffDelayIsHeld) {
    const std::uint64_t start = now();
    std::uint64_t ranAt = 0;
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 200000000), dispatch_get_main_queue(),
                   [&] { ranAt = now(); });
    NS::RunLoopInternals::of(mainLoop())->runFor(0.1);
    EXPECT_EQ(ranAt, 0u);
    EXPECT_TRUE(NS::RunLoopInternals::of(mainLoop())->runUntilIdle(2.0));
    EXPECT_GE(ranAt, start + 200 * NSEC_PER_MSEC);
}

TEST_F(MainQueueTest, QueueHoldsBlockUntilItHasRun) {
    auto captured = std::make_shared<int>(0);
    {
        auto block = NS::Block::create([captured] { ++*captured; });
        dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 10 * NSEC_PER_MSEC), dispatch_get_main_queue(),
                       block.get());
        EXPECT_EQ(block->retainCount(), 2u);
    }
    EXPECT_EQ(captured.use_count(), 2) << "the queue let the block go before it ran";
    EXPECT_TRUE(NS::RunLoopInternals::of(mainLoop())->runUntilIdle(2.0));
    EXPECT_EQ(*captured, 1);
    EXPECT_EQ(captured.use_count(), 1) << "the queue kept the block after it ran";
}

TEST_F(MainQueueTest, WorkFromAnotherThreadWakesTheMainLoopAndRunsOnTheMainThread) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    const int source = NS::RunLoopInternals::of(mainLoop())->addFileDescriptor(pipeFds[0], [] {});
    std::atomic<pid_t> ranOn{0};
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        dispatch_async(dispatch_get_main_queue(), [&] { ranOn = gettid(); });
    });
    const std::uint64_t start = now();
    {
        NS::AutoreleaseScope pool;
        while (ranOn.load() == 0 && now() - start < 10 * NSEC_PER_SEC) {
            mainLoop()->runModeBeforeDate(NS::DefaultRunLoopMode(),
                                          NS::Date::dateWithTimeIntervalSinceNow(10));
        }
    }
    other.join();
    EXPECT_EQ(ranOn.load(), getpid());
    EXPECT_LT(now() - start, 5 * NSEC_PER_SEC) << "the main loop slept through the wake-up";
    NS::RunLoopInternals::of(mainLoop())->removeSource(source);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST_F(MainQueueTest, ManyThreadsKeepTheirOwnOrder) {
    constexpr int threads = 4;
    constexpr int perThread = 200;
    std::vector<std::vector<int>> seen(threads);
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&seen, t] {
            for (int i = 0; i < perThread; ++i) {
                dispatch_async(dispatch_get_main_queue(), [&seen, t, i] { seen[t].push_back(i); });
            }
        });
    }
    for (auto& w : workers) {
        w.join();
    }
    EXPECT_TRUE(NS::RunLoopInternals::of(mainLoop())->runUntilIdle(5.0));
    for (int t = 0; t < threads; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i) {
            EXPECT_EQ(seen[t][i], i) << "thread " << t;
        }
    }
}

TEST_F(MainQueueTest, ForeverNeverRunsAndBadArgumentsAreRefused) {
    auto captured = std::make_shared<int>(0);
    auto block = NS::Block::create([captured] { ++*captured; });
    dispatch_after(DISPATCH_TIME_FOREVER, dispatch_get_main_queue(), block.get());
    dispatch_async(nullptr, block.get());
    dispatch_async(reinterpret_cast<dispatch_queue_t>(captured.get()), block.get());
    dispatch_async(dispatch_get_main_queue(), static_cast<dispatch_block_t>(nullptr));
    dispatch_async_f(dispatch_get_main_queue(), nullptr, nullptr);
    dispatch_after(dispatch_time(DISPATCH_TIME_NOW, 0), dispatch_get_main_queue(), std::function<void()>());
    EXPECT_TRUE(NS::RunLoopInternals::of(mainLoop())->runUntilIdle(0.5))
        << "refused or endless work was kept";
    EXPECT_EQ(*captured, 0);
    EXPECT_EQ(block->retainCount(), 1u);
}

TEST(DispatchTime, CountsFromNowOrFromTheGivenTime) {
    const std::uint64_t before = now();
    const dispatch_time_t t = dispatch_time(DISPATCH_TIME_NOW, 5 * NSEC_PER_SEC);
    const std::uint64_t after = now();
    EXPECT_GE(t, before + 5 * NSEC_PER_SEC);
    EXPECT_LE(t, after + 5 * NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(t, 250), t + 250);
    EXPECT_EQ(dispatch_time(t, -static_cast<std::int64_t>(NSEC_PER_SEC)), t - NSEC_PER_SEC);
    EXPECT_EQ(dispatch_time(DISPATCH_TIME_FOREVER, -5), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(t, INT64_MAX), DISPATCH_TIME_FOREVER);
    EXPECT_EQ(dispatch_time(t, INT64_MAX - 1), DISPATCH_TIME_FOREVER);
    // A time before the clock's start is due at once, and never reads as NOW.
    EXPECT_EQ(dispatch_time(10, INT64_MIN), 1u);
    EXPECT_EQ(dispatch_time(10, -10), 1u);
}

int onceCalls = 0;
void countOnce(void* context) {
    ++onceCalls;
    *static_cast<int*>(context) = 42;
}

TEST(DispatchOnce, RunsOnceAndEveryCallerSeesItFinished) {
    constexpr int callers = 8;
    static dispatch_once_t token = 0;
    std::atomic<int> runs{0};
    std::atomic<int> ready{0};
    std::atomic<bool> sawUnfinished{false};
    int value = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < callers; ++i) {
        threads.emplace_back([&] {
            ++ready;
            while (ready.load() < callers) {
            }
            dispatch_once(&token, [&] {
                ++runs;
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                value = 7;
            });
            if (value != 7) {
                sawUnfinished = true;
            }
        });
    }
    for (auto& t : threads) {
        t.join();
    }
    EXPECT_EQ(runs.load(), 1);
    EXPECT_FALSE(sawUnfinished.load()) << "a caller returned before the work had finished";

    static dispatch_once_t functionToken = 0;
    int context = 0;
    dispatch_once_f(&functionToken, &context, &countOnce);
    dispatch_once_f(&functionToken, &context, &countOnce);
    EXPECT_EQ(onceCalls, 1);
    EXPECT_EQ(context, 42);

    static dispatch_once_t blockToken = 0;
    int blockRuns = 0;
    auto block = NS::Block::create([&blockRuns] { ++blockRuns; });
    dispatch_once(&blockToken, block.get());
    dispatch_once(&blockToken, block.get());
    EXPECT_EQ(blockRuns, 1);
}

TEST(DispatchOnce, WorkThatThrowsLeavesTheGuardOpen) {
    dispatch_once_t token = 0;
    EXPECT_THROW(dispatch_once(&token, [] { throw std::runtime_error("not yet"); }), std::runtime_error);
    int runs = 0;
    dispatch_once(&token, [&] { ++runs; });
    dispatch_once(&token, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
    dispatch_once(nullptr, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

} // namespace
