#include "Foundation/NSTimer.hpp"
#include "Foundation/NSRunLoopInternals.hpp"
#include "Foundation/NSTimerInternals.hpp"

#include "Foundation/NSDate.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/RunLoopInternal.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <utility>

namespace NS::detail {

namespace {

// The shortest interval a timer may have; shorter ones, zero and negative ones get this.
constexpr double minimumInterval = 0.0001;

Timer* setUp(objc::Ptr<Timer> timer, std::uint64_t due, double interval, objc::Ptr<Object> target,
             SEL selector, objc::Ptr<Object> userInfo, bool repeats, std::function<void(Timer*)> fn) {
    if (timer == nullptr) {
        return nullptr;
    }
    auto* state = new TimerState;
    // NaN and negative intervals become the shortest; absurdly long ones stop at about 30 years.
    state->interval = interval >= minimumInterval ? std::min(interval, 1e9) : minimumInterval;
    state->repeats = repeats;
    state->due = due;
    state->target = target->retain();
    state->selector = selector;
    state->userInfo = userInfo->retain();
    state->fn = std::move(fn);
    objc::setIvar(timer, NS::TimerInternals::_state, state);
    return timer;
}

Timer* makeTimer(Class cls, std::uint64_t due, double interval, objc::Ptr<Object> target, SEL selector,
                 objc::Ptr<Object> userInfo, bool repeats, std::function<void(Timer*)> fn) {
    // Made whole here rather than by init, which would give it a state of its own first.
    auto timer = Timer::init_.super<Timer>(Timer::alloc_.send(cls));
    return setUp(timer, due, interval, target, selector, userInfo, repeats, std::move(fn));
}

Timer* scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats(Class cls, double seconds, Object* target,
                                                                   SEL selector, Object* userInfo,
                                                                   bool repeats) {
    auto timer = Timer::timerWithTimeIntervalTargetSelectorUserInfoRepeats_.send(cls, seconds, target,
                                                                                 selector, userInfo, repeats);
    RunLoop::currentRunLoop()->addTimer(timer, DefaultRunLoopMode());
    return timer;
}

Timer* timerWithTimeIntervalTargetSelectorUserInfoRepeats(Class cls, double seconds, Object* target,
                                                          SEL selector, Object* userInfo, bool repeats) {
    return objc::Ptr(makeTimer(cls, dueAfter(std::max(seconds, minimumInterval)), seconds, target, selector,
                               userInfo, repeats, {}))
        ->autorelease();
}

// A plain init makes a timer that does nothing, so that every timer has a schedule to ask about.
Timer* init(Timer* self) {
    return setUp(Timer::init_.super<Timer>(self), NS::RunLoopInternals::monotonicNow(), 0, nullptr, nullptr,
                 nullptr, false, {});
}

Timer* initWithFireDateIntervalTargetSelectorUserInfoRepeats(Timer* self, objc::Ptr<Date> date,
                                                             double interval, Object* target, SEL selector,
                                                             Object* userInfo, bool repeats) {
    auto timer = Timer::init_.super<Timer>(self);
    return setUp(timer, dueAfter(date->timeIntervalSinceNow()), interval, target, selector, userInfo, repeats,
                 {});
}

void invalidate(Timer* self) {
    // The loop's reference may be the last one: keep the timer until this is done with it.
    const objc::Ref<Timer> kept = objc::retain(self);
    objc::Ptr<Object> target;
    objc::Ptr<Object> userInfo;
    objc::Ptr<Object> held;
    std::function<void(Timer*)> fn;
    {
        std::lock_guard lock(scheduleMutex());
        TimerState* state = timerState(self);
        if (state->valid) {
            state->valid = false;
            target = std::exchange(state->target, nullptr);
            userInfo = std::exchange(state->userInfo, nullptr);
            fn = std::move(state->fn);
            state->fn = nullptr;
            held = unscheduleLocked(self, state);
        }
    }
    fn = nullptr;
    target->release();
    userInfo->release();
    held->release();
}

bool isValid(Timer* self) {
    std::lock_guard lock(scheduleMutex());
    return timerState(self)->valid;
}

void fire(Timer* self) { timerFireAndRelease(self->retain()); }

Date* fireDate(Timer* self) {
    std::uint64_t due = 0;
    {
        std::lock_guard lock(scheduleMutex());
        due = timerState(self)->due;
    }
    const std::uint64_t now = NS::RunLoopInternals::monotonicNow();
    const double fromNow =
        due >= now ? static_cast<double>(due - now) / 1e9 : -static_cast<double>(now - due) / 1e9;
    return Date::dateWithTimeIntervalSinceNow(fromNow);
}

Object* userInfo(Timer* self) {
    std::lock_guard lock(scheduleMutex());
    return timerState(self)->userInfo;
}

double timeInterval(Timer* self) {
    const TimerState* state = timerState(self);
    return state->repeats ? state->interval : 0.0;
}

void dealloc(Timer* self) {
    if (TimerState* state = timerState(self)) {
        // Never scheduled and never invalidated: it still owns what it was given.
        objc::Ptr(state->target)->release();
        objc::Ptr(state->userInfo)->release();
        delete state;
    }
    Object::dealloc_.super<Timer>(self);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Timer>()
        .ivar(TimerInternals::_state)
        .method<&scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats>(
            Timer::scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats_)
        .method<&timerWithTimeIntervalTargetSelectorUserInfoRepeats>(
            Timer::timerWithTimeIntervalTargetSelectorUserInfoRepeats_)
        .method<&init>(Timer::init_)
        .method<&initWithFireDateIntervalTargetSelectorUserInfoRepeats>(
            Timer::initWithFireDateIntervalTargetSelectorUserInfoRepeats_)
        .method<&invalidate>(Timer::invalidate_)
        .method<&isValid>(Timer::isValid_)
        .method<&fire>(Timer::fire_)
        .method<&fireDate>(Timer::fireDate_)
        .method<&userInfo>(Timer::userInfo_)
        .method<&timeInterval>(Timer::timeInterval_)
        .method<&dealloc>(Object::dealloc_)
        .build();
}

} // namespace

TimerState* timerState(const Timer* timer) {
    return static_cast<TimerState*>(objc::ivar(timer, NS::TimerInternals::_state));
}

void timerFireAndRelease(Timer* timer) {
    struct Finish {
        Timer* timer;
        ~Finish() {
            if (!timerState(timer)->repeats) {
                timer->invalidate();
            }
            timer->release();
        }
    } finish{timer};
    objc::Ref<Object> target;
    SEL selector = nullptr;
    std::function<void(Timer*)> fn;
    {
        std::lock_guard lock(scheduleMutex());
        TimerState* state = timerState(timer);
        if (!state->valid) {
            return;
        }
        // The callout may invalidate the timer, which lets go of the target: hold it meanwhile.
        target = objc::retain(state->target);
        selector = state->selector;
        fn = state->fn;
    }
    if (fn) {
        fn(timer);
    } else if (selector != nullptr) {
        // The selector is the one the timer was made with: no view declares it, so it is sent as named.
        objc::send(target.get(), selector, timer);
    }
}

} // namespace NS::detail

namespace NS {

Timer* NS::TimerInternals::timer(double seconds, std::function<void(Timer*)> fn, bool repeats) {
    return objc::Ptr(detail::makeTimer(runtimeClass(),
                                       detail::dueAfter(std::max(seconds, detail::minimumInterval)), seconds,
                                       nullptr, nullptr, nullptr, repeats, std::move(fn)))
        ->autorelease();
}

Timer* NS::TimerInternals::scheduledTimer(double seconds, std::function<void(Timer*)> fn, bool repeats) {
    Timer* timer = NS::TimerInternals::timer(seconds, std::move(fn), repeats);
    RunLoop::currentRunLoop()->addTimer(timer, DefaultRunLoopMode());
    return timer;
}

} // namespace NS
