// What the run loop and timers share: a timer's place in the queue of the loop it is scheduled on.
#pragma once

#include "objc/Runtime.hpp"

#include <compare>
#include <cstdint>
#include <functional>
#include <mutex>

namespace NS {
class Object;
class Timer;
} // namespace NS

namespace NS::detail {

struct LoopState;

// Where an entry stands in a loop's queue: due time first, then the order in which it was scheduled.
struct DueKey {
    std::uint64_t due = 0;
    std::uint64_t seq = 0;
    auto operator<=>(const DueKey&) const = default;
};

struct TimerState {
    double interval = 0;
    bool repeats = false;
    bool valid = true;
    std::uint64_t due = 0;
    Object* target = nullptr; // owned while valid
    SEL selector = nullptr;
    Object* userInfo = nullptr; // owned while valid
    std::function<void(Timer*)> fn;
    LoopState* loop = nullptr; // set while scheduled
    DueKey key;
};

// Guards every loop's queue and sources and every timer's schedule. Nothing is called out while
// it is held: a callout may schedule, invalidate or release anything.
std::mutex& scheduleMutex();

TimerState* timerState(const Timer* timer);

// Takes a scheduled timer out of its loop's queue; returns the reference the loop held, or nil.
// Called with the schedule mutex held; the caller releases the result after unlocking.
Timer* unscheduleLocked(const Timer* timer, TimerState* state);

// Sends the timer's message (or calls its callable) once, if it is still valid, then gives up one
// reference to the timer that the caller held. A one-shot timer is done afterwards, even when its
// callout throws.
void timerFireAndRelease(Timer* timer);

// The monotonic time `seconds` from now; negative counts as now, far futures saturate.
std::uint64_t dueAfter(double seconds);

} // namespace NS::detail
