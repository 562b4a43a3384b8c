#include "Foundation/Foundation.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "Foundation/NSTimerInternals.hpp"
#include "objc/ClassBuilder.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

using objc::operator""_sel;
using NS::RunLoop;

constexpr std::uint64_t ms = 1000000;

std::uint64_t now() { return NS::RunLoopInternals::monotonicNow(); }

// A timer target that counts its ticks and its deallocation.
int targetDeallocs = 0;
int targetTicks = 0;
id lastTickArgument = nil;

struct TimerTarget : NS::Referencing<TimerTarget, "RunLoopTestTarget"> {
    OBJC_MESSAGE(tick, "tick:", void(NS::Timer*))
};

class RunLoopTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        objc::ClassDefinition<NS::Object>("RunLoopTestTarget", "NSObject")
            .method(TimerTarget::tick_,
                    [](NS::Object*, NS::Timer* timer) {
                        ++targetTicks;
                        lastTickArgument = objc::toId(timer);
                    })
            .method(NS::Object::dealloc_,
                    [](NS::Object* self) {
                        ++targetDeallocs;
                        NS::Object::dealloc_.super<TimerTarget>(self);
                    })
            .build();
    }
    void SetUp() override {
        targetDeallocs = 0;
        targetTicks = 0;
        lastTickArgument = nil;
    }
    // Nothing a failed test left behind may run in the next one.
    void TearDown() override { EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0)); }

    static RunLoop* loop() { return RunLoop::currentRunLoop(); }
    static NS::Object* makeTarget() {
        return NS::RootObject::make_.send(objc_lookUpClass("RunLoopTestTarget"));
    }
};

TEST_F(RunLoopTest, TimersFireInDueOrderAndNeverEarly) {
    NS::AutoreleaseScope pool;
    const std::vector<int> delaysMs = {50, 10, 30, 10, 40, 20};
    std::vector<int> order;
    for (int i = 0; i < static_cast<int>(delaysMs.size()); ++i) {
        const std::uint64_t due = now() + delaysMs[i] * ms;
        NS::TimerInternals::scheduledTimer(
            delaysMs[i] / 1000.0,
            [&, i, due](NS::Timer*) {
                order.push_back(i);
                EXPECT_GE(now(), due) << "timer " << i << " fired early";
            },
            false);
    }
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    // Equal delays keep the order in which they were scheduled.
    EXPECT_EQ(order, (std::vector<int>{1, 3, 5, 2, 4, 0}));
}

TEST_F(RunLoopTest, RepeatingTimerKeepsItsRhythmUntilInvalidated) {
    NS::AutoreleaseScope pool;
    std::vector<std::uint64_t> fires;
    const std::uint64_t start = now();
    NS::Timer* timer = NS::TimerInternals::scheduledTimer(
        0.02,
        [&](NS::Timer* t) {
            fires.push_back(now());
            if (fires.size() == 5) {
                t->invalidate();
            }
        },
        true);
    EXPECT_DOUBLE_EQ(timer->timeInterval(), 0.02);
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    ASSERT_EQ(fires.size(), 5u);
    for (std::size_t k = 0; k < fires.size(); ++k) {
        EXPECT_GE(fires[k], start + (k + 1) * 20 * ms) << "fire " << k << " came early";
    }
    EXPECT_FALSE(timer->isValid());
}

TEST_F(RunLoopTest, BusyRepeatingTimerKeepsTheLoopFromIdling) {
    NS::AutoreleaseScope pool;
    int ticks = 0;
    NS::Timer* timer = NS::TimerInternals::scheduledTimer(
        0.01, [&](NS::Timer*) { ++ticks; }, true);
    const std::uint64_t start = now();
    EXPECT_FALSE(NS::RunLoopInternals::of(loop())->runUntilIdle(0.1));
    EXPECT_GE(now(), start + 100 * ms);
    EXPECT_GE(ticks, 3);
    timer->invalidate();
}

TEST_F(RunLoopTest, TimerHoldsTargetAndUserInfoUntilItFires) {
    NS::Object* target = makeTarget();
    NS::Object* info = makeTarget();
    NS::Timer* timer = nullptr;
    {
        NS::AutoreleaseScope pool;
        timer = NS::Timer::scheduledTimerWithTimeInterval(0.01, target, "tick:"_sel, info, false);
        timer->retain();
        EXPECT_EQ(target->retainCount(), 2u);
        EXPECT_EQ(info->retainCount(), 2u);
        EXPECT_EQ(timer->userInfo(), info);
        EXPECT_DOUBLE_EQ(timer->timeInterval(), 0.0);
    }
    target->release();
    info->release();
    EXPECT_EQ(targetDeallocs, 0);
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    EXPECT_EQ(targetTicks, 1);
    EXPECT_EQ(lastTickArgument, timer->self());
    EXPECT_EQ(targetDeallocs, 2) << "a fired one-shot timer must let go of target and user info";
    EXPECT_FALSE(timer->isValid());
    EXPECT_EQ(timer->userInfo(), nullptr);
    // Only our reference is left: the loop gave its own up.
    EXPECT_EQ(timer->retainCount(), 1u);
    timer->release();
}

TEST_F(RunLoopTest, InvalidationReleasesTargetOfAnUnfiredTimer) {
    NS::AutoreleaseScope pool;
    NS::Object* target = makeTarget();
    NS::Timer* timer = NS::Timer::scheduledTimerWithTimeInterval(10.0, target, "tick:"_sel, nullptr, true);
    target->release();
    EXPECT_EQ(targetDeallocs, 0);
    timer->invalidate();
    EXPECT_EQ(targetDeallocs, 1);
    timer->invalidate(); // twice is harmless
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(0.5))
        << "an invalidated timer must leave the loop";
    EXPECT_EQ(targetTicks, 0);
}

TEST_F(RunLoopTest, LoopKeepsScheduledTimerAliveWithoutOtherOwners) {
    int fired = 0;
    {
        NS::AutoreleaseScope pool;
        NS::TimerInternals::scheduledTimer(
            0.01, [&](NS::Timer*) { ++fired; }, false);
    }
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    EXPECT_EQ(fired, 1);
}

TEST_F(RunLoopTest, UnscheduledTimerWaitsUntilAdded) {
    NS::AutoreleaseScope pool;
    int fired = 0;
    NS::Timer* timer = NS::TimerInternals::timer(
        0.01, [&](NS::Timer*) { ++fired; }, false);
    NS::RunLoopInternals::of(loop())->runFor(0.05);
    EXPECT_EQ(fired, 0);
    loop()->addTimer(timer, NS::DefaultRunLoopMode());
    loop()->addTimer(timer, NS::DefaultRunLoopMode()); // a second add is ignored
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    EXPECT_EQ(fired, 1);
}

TEST_F(RunLoopTest, FireSendsAtOnceAndEndsOnlyOneShotTimers) {
    NS::AutoreleaseScope pool;
    int oneShot = 0;
    int repeating = 0;
    NS::Timer* once = NS::TimerInternals::scheduledTimer(
        10.0, [&](NS::Timer*) { ++oneShot; }, false);
    NS::Timer* again = NS::TimerInternals::scheduledTimer(
        10.0, [&](NS::Timer*) { ++repeating; }, true);
    const double dueBefore = again->fireDate()->timeIntervalSinceNow();
    once->fire();
    again->fire();
    EXPECT_EQ(oneShot, 1);
    EXPECT_EQ(repeating, 1);
    EXPECT_FALSE(once->isValid());
    EXPECT_TRUE(again->isValid());
    EXPECT_NEAR(again->fireDate()->timeIntervalSinceNow(), dueBefore, 0.05);
    EXPECT_GT(dueBefore, 9.0);
    once->fire(); // invalid: nothing happens
    EXPECT_EQ(oneShot, 1);
    again->invalidate();
}

TEST_F(RunLoopTest, OddIntervalsAndPlainTimersAreTamed) {
    NS::AutoreleaseScope pool;
    int ticks = 0;
    NS::Timer* nan = NS::TimerInternals::scheduledTimer(
        std::nan(""),
        [&](NS::Timer* t) {
            if (++ticks == 3) {
                t->invalidate();
            }
        },
        true);
    EXPECT_DOUBLE_EQ(nan->timeInterval(), 0.0001);
    bool negativeFired = false;
    NS::TimerInternals::scheduledTimer(
        -5.0, [&](NS::Timer*) { negativeFired = true; }, false);
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(1.0));
    EXPECT_EQ(ticks, 3);
    EXPECT_TRUE(negativeFired);

    auto plain = objc::adopt(NS::Timer::make());
    EXPECT_TRUE(plain->isValid());
    EXPECT_EQ(plain->userInfo(), nullptr);
    plain->fire();
    EXPECT_FALSE(plain->isValid());
}

TEST_F(RunLoopTest, TimerInvalidatedInsideItsCalloutFiresOnce) {
    NS::AutoreleaseScope pool;
    int fired = 0;
    NS::TimerInternals::scheduledTimer(
        0.005,
        [&](NS::Timer* t) {
            ++fired;
            t->invalidate();
            t->invalidate();
        },
        true);
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(1.0));
    EXPECT_EQ(fired, 1);
}

TEST_F(RunLoopTest, ThrowingCalloutLeavesTheLoopWhole) {
    NS::AutoreleaseScope pool;
    int repeating = 0;
    int later = 0;
    NS::Timer* thrower = NS::TimerInternals::scheduledTimer(
        0.005, [](NS::Timer*) { throw std::runtime_error("callout failed"); }, false);
    NS::Timer* steady = NS::TimerInternals::scheduledTimer(
        0.01,
        [&](NS::Timer* t) {
            if (++repeating == 3) {
                t->invalidate();
            }
        },
        true);
    NS::TimerInternals::scheduledTimer(
        0.02, [&](NS::Timer*) { ++later; }, false);
    EXPECT_THROW(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0), std::runtime_error);
    EXPECT_FALSE(thrower->isValid()) << "a one-shot timer is spent even when its callout throws";
    EXPECT_TRUE(steady->isValid());
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    EXPECT_EQ(repeating, 3);
    EXPECT_EQ(later, 1);
}

TEST_F(RunLoopTest, EachPassDrainsWhatItsCalloutsAutoreleased) {
    int deallocsInsideCallout = -1;
    NS::RunLoopInternals::of(loop())->scheduleWork(now(), [&] {
        makeTarget()->autorelease();
        deallocsInsideCallout = targetDeallocs;
    });
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(1.0));
    EXPECT_EQ(deallocsInsideCallout, 0);
    EXPECT_EQ(targetDeallocs, 1);
}

TEST_F(RunLoopTest, ScheduledWorkRunsByDueTimeFirstComeFirstAmongEquals) {
    std::vector<int> order;
    const std::uint64_t base = now() + 20 * ms;
    const std::uint64_t dues[] = {base + 10 * ms, base, base, base + 5 * ms, base};
    for (int i = 0; i < 5; ++i) {
        NS::RunLoopInternals::of(loop())->scheduleWork(dues[i], [&order, &dues, i] {
            EXPECT_GE(now(), dues[i]);
            order.push_back(i);
        });
    }
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 4, 3, 0}));
}

TEST_F(RunLoopTest, WorkThatSchedulesWorkDoesNotStarveTimers) {
    NS::AutoreleaseScope pool;
    bool timerFired = false;
    int spins = 0;
    std::function<void()> spin = [&] {
        ++spins;
        if (!timerFired) {
            NS::RunLoopInternals::of(loop())->scheduleWork(0, spin);
        }
    };
    NS::TimerInternals::scheduledTimer(
        0.01, [&](NS::Timer*) { timerFired = true; }, false);
    NS::RunLoopInternals::of(loop())->scheduleWork(0, spin);
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(2.0));
    EXPECT_TRUE(timerFired);
    EXPECT_GT(spins, 1);
}

TEST_F(RunLoopTest, WorkFromAnotherThreadWakesASleepingLoop) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC), 0);
    // An idle source, so that the pass has something to wait on.
    const int source = NS::RunLoopInternals::of(loop())->addFileDescriptor(pipeFds[0], [] {});
    ASSERT_GT(source, 0);
    std::atomic<bool> ran{false};
    RunLoop* main = loop();
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        NS::RunLoopInternals::of(main)->scheduleWork(0, [&] { ran = true; });
    });
    const std::uint64_t start = now();
    NS::AutoreleaseScope pool;
    EXPECT_TRUE(
        loop()->runModeBeforeDate(NS::DefaultRunLoopMode(), NS::Date::dateWithTimeIntervalSinceNow(10)));
    other.join();
    EXPECT_TRUE(ran.load());
    EXPECT_LT(now() - start, 5000 * ms) << "the loop slept through the wake-up";
    NS::RunLoopInternals::of(loop())->removeSource(source);
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST_F(RunLoopTest, BackgroundWorkKeepsTheLoopBusyUntilItEndsOnItsOwnThread) {
    RunLoop* main = loop();
    NS::RunLoopInternals::of(main)->beginBackgroundWork();
    NS::RunLoopInternals::of(main)->beginBackgroundWork();
    EXPECT_FALSE(NS::RunLoopInternals::of(main)->runUntilIdle(0.05))
        << "idle while work it set going was still under way";

    // Ending from the other thread wakes the sleeping loop: it does not wait out its limit.
    std::atomic<bool> mayEnd{false};
    std::thread other([&] {
        while (!mayEnd.load()) {
            std::this_thread::yield();
        }
        NS::RunLoopInternals::of(main)->endBackgroundWork();
        NS::RunLoopInternals::of(main)->endBackgroundWork();
    });
    NS::RunLoopInternals::of(main)->scheduleWork(0, [&] { mayEnd = true; });
    const std::uint64_t start = now();
    EXPECT_TRUE(NS::RunLoopInternals::of(main)->runUntilIdle(30.0));
    EXPECT_LT(now() - start, 10000 * ms) << "the loop slept through the end of the work";
    other.join();

    // An end without a begin leaves nothing owed.
    NS::RunLoopInternals::of(main)->endBackgroundWork();
    NS::RunLoopInternals::of(main)->beginBackgroundWork();
    NS::RunLoopInternals::of(main)->endBackgroundWork();
    EXPECT_TRUE(NS::RunLoopInternals::of(main)->runUntilIdle(0.05));
}

TEST_F(RunLoopTest, DescriptorSourcesCallBackUntilRemoved) {
    int pipeFds[2];
    ASSERT_EQ(pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK), 0);
    std::string received;
    int calls = 0;
    const int source = NS::RunLoopInternals::of(loop())->addFileDescriptor(pipeFds[0], [&] {
        ++calls;
        char buffer[64];
        ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n > 0) {
            received.append(buffer, static_cast<std::size_t>(n));
        }
    });
    ASSERT_GT(source, 0);
    std::thread writer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_EQ(write(pipeFds[1], "ping", 4), 4);
    });
    const std::uint64_t deadline = now() + 2000 * ms;
    while (received.size() < 4 && now() < deadline) {
        NS::RunLoopInternals::of(loop())->runFor(0.01);
    }
    writer.join();
    EXPECT_EQ(received, "ping");
    const int callsBefore = calls;
    NS::RunLoopInternals::of(loop())->removeSource(source);
    ASSERT_EQ(write(pipeFds[1], "more", 4), 4);
    NS::RunLoopInternals::of(loop())->runFor(0.05);
    EXPECT_EQ(calls, callsBefore);
    EXPECT_EQ(NS::RunLoopInternals::of(loop())->addFileDescriptor(-1, [] {}), -1)
        << "a bad descriptor is refused";
    close(pipeFds[0]);
    close(pipeFds[1]);
}

TEST_F(RunLoopTest, NothingAttachedMeansRunModeReturnsAtOnce) {
    NS::AutoreleaseScope pool;
    const std::uint64_t start = now();
    EXPECT_FALSE(
        loop()->runModeBeforeDate(NS::DefaultRunLoopMode(), NS::Date::dateWithTimeIntervalSinceNow(5)));
    EXPECT_LT(now() - start, 1000 * ms);
    // runUntilDate: waits for its date all the same.
    loop()->runUntilDate(NS::Date::dateWithTimeIntervalSinceNow(0.03));
    EXPECT_GE(now(), start + 30 * ms);
}

TEST_F(RunLoopTest, EachThreadHasItsOwnLoopAndOnlyItRunsIt) {
    RunLoop* main = RunLoop::mainRunLoop();
    EXPECT_EQ(loop(), main) << "the test runs on the process's main thread";
    EXPECT_TRUE(NS::RunLoopInternals::of(main)->isCurrent());
    RunLoop* seenMain = nullptr;
    RunLoop* seenCurrent = nullptr;
    bool mainWorkRanThere = false;
    std::atomic<int> ticksThere{0};
    NS::RunLoopInternals::of(main)->scheduleWork(0, [&] { mainWorkRanThere = true; });
    std::thread other([&] {
        NS::AutoreleaseScope pool;
        seenMain = RunLoop::mainRunLoop();
        seenCurrent = RunLoop::currentRunLoop();
        EXPECT_EQ(RunLoop::currentRunLoop(), seenCurrent);
        NS::RunLoopInternals::of(main)->runFor(0.02); // refused: not this thread's loop
        NS::TimerInternals::scheduledTimer(
            0.01, [&](NS::Timer*) { ++ticksThere; }, false);
        EXPECT_TRUE(NS::RunLoopInternals::of(seenCurrent)->runUntilIdle(2.0));
    });
    other.join();
    EXPECT_EQ(seenMain, main);
    EXPECT_NE(seenCurrent, main);
    EXPECT_EQ(ticksThere.load(), 1);
    EXPECT_FALSE(mainWorkRanThere) << "another thread ran the main loop's work";
    EXPECT_TRUE(NS::RunLoopInternals::of(loop())->runUntilIdle(1.0));
    EXPECT_TRUE(mainWorkRanThere);
}

TEST_F(RunLoopTest, ThreadExitReleasesTimersItsLoopStillHeld) {
    NS::Object* target = makeTarget();
    std::thread other([&] {
        NS::AutoreleaseScope pool;
        NS::Timer::scheduledTimerWithTimeInterval(60.0, target, "tick:"_sel, nullptr, false);
    });
    other.join();
    EXPECT_EQ(target->retainCount(), 1u) << "the ended thread's loop still holds the timer";
    target->release();
    EXPECT_EQ(targetDeallocs, 1);
    EXPECT_EQ(targetTicks, 0);
}

TEST_F(RunLoopTest, CocoaSelectorsReachTheSameLoop) {
    NS::AutoreleaseScope pool;
    Class cls = objc_lookUpClass("NSRunLoop");
    id current = objc::send<id>(cls, "currentRunLoop"_sel);
    EXPECT_EQ(current, loop()->self());
    EXPECT_EQ(objc::send<id>(cls, "mainRunLoop"_sel), current);
    NS::Object* target = makeTarget();
    id timer = objc::send<id>(objc_lookUpClass("NSTimer"),
                              "timerWithTimeInterval:target:selector:userInfo:repeats:"_sel, 0.01, target,
                              static_cast<SEL>("tick:"_sel), nil, false);
    objc::send(current, "addTimer:forMode:"_sel, timer, NS::DefaultRunLoopMode());
    objc::send(current, "runUntilDate:"_sel, NS::Date::dateWithTimeIntervalSinceNow(0.05));
    EXPECT_EQ(targetTicks, 1);
    target->release();
    EXPECT_EQ(targetDeallocs, 1);
}

} // namespace
