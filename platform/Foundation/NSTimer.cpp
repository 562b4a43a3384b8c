#include "Foundation/NSTimer.hpp"

#include "Foundation/NSDate.hpp"
#include "Foundation/NSRunLoop.hpp"
#include "Foundation/RunLoopInternal.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <utility>

namespace NS::detail {

namespace {

using objc::operator""_sel;

// The shortest interval a timer may have; shorter ones, zero and negative ones get this.
constexpr double minimumInterval = 0.0001;

id setUp(id timer, std::uint64_t due, double interval, id target, SEL selector, id userInfo, bool repeats,
         std::function<void(id)> fn) {
    if (timer == nil) {
        return nil;
    }
    auto* state = new TimerState;
    // NaN and negative intervals become the shortest; absurdly long ones stop at about 30 years.
    state->interval = interval >= minimumInterval ? std::min(interval, 1e9) : minimumInterval;
    state->repeats = repeats;
    state->due = due;
    state->target = objc::send<id>(target, "retain"_sel);
    state->selector = selector;
    state->userInfo = objc::send<id>(userInfo, "retain"_sel);
    state->fn = std::move(fn);
    objc::setIvar<void*>(timer, "_state", state);
    return timer;
}

id makeTimer(Class cls, std::uint64_t due, double interval, id target, SEL selector, id userInfo,
             bool repeats, std::function<void(id)> fn) {
    // Made whole here rather than by init, which would give it a state of its own first.
    id timer = objc::sendSuper<id>(Timer::runtimeClass(), objc::send<id>(cls, "alloc"_sel), "init"_sel);
    return setUp(timer, due, interval, target, selector, userInfo, repeats, std::move(fn));
}

// A plain init makes a timer that does nothing, so that every timer has a schedule to ask about.
id init(id self, SEL sel) {
    return setUp(objc::sendSuper<id>(Timer::runtimeClass(), self, sel), RunLoop::monotonicNow(), 0, nil,
                 nullptr, nil, false, {});
}

id initWithFireDate(id self, SEL, id date, double interval, id target, SEL selector, id userInfo,
                    bool repeats) {
    self = objc::sendSuper<id>(Timer::runtimeClass(), self, "init"_sel);
    const std::uint64_t due = dueAfter(objc::send<double>(date, "timeIntervalSinceNow"_sel));
    return setUp(self, due, interval, target, selector, userInfo, repeats, {});
}

id timerWithTimeInterval(Class cls, SEL, double seconds, id target, SEL selector, id userInfo, bool repeats) {
    id timer = makeTimer(cls, dueAfter(std::max(seconds, minimumInterval)), seconds, target, selector,
                         userInfo, repeats, {});
    return objc::send<id>(timer, "autorelease"_sel);
}

id scheduledTimerWithTimeInterval(Class cls, SEL, double seconds, id target, SEL selector, id userInfo,
                                  bool repeats) {
    id timer = objc::send<id>(cls, "timerWithTimeInterval:target:selector:userInfo:repeats:"_sel, seconds,
                              target, selector, userInfo, repeats);
    RunLoop::currentRunLoop()->addTimer(reinterpret_cast<Timer*>(timer), DefaultRunLoopMode());
    return timer;
}

void invalidate(id self, SEL) {
    // The loop's reference may be the last one: keep the timer until this method is done with it.
    objc::send(self, "retain"_sel);
    id target = nil;
    id userInfo = nil;
    id held = nil;
    std::function<void(id)> fn;
    {
        std::lock_guard lock(scheduleMutex());
        TimerState* state = timerState(self);
        if (state->valid) {
            state->valid = false;
            target = std::exchange(state->target, nil);
            userInfo = std::exchange(state->userInfo, nil);
            fn = std::move(state->fn);
            state->fn = nullptr;
            held = unscheduleLocked(self, state);
        }
    }
    fn = nullptr;
    objc::send(target, "release"_sel);
    objc::send(userInfo, "release"_sel);
    objc::send(held, "release"_sel);
    objc::send(self, "release"_sel);
}

bool isValid(id self, SEL) {
    std::lock_guard lock(scheduleMutex());
    return timerState(self)->valid;
}

void fire(id self, SEL) { timerFireAndRelease(objc::send<id>(self, "retain"_sel)); }

id fireDate(id self, SEL) {
    std::uint64_t due = 0;
    {
        std::lock_guard lock(scheduleMutex());
        due = timerState(self)->due;
    }
    const std::uint64_t now = RunLoop::monotonicNow();
    const double fromNow =
        due >= now ? static_cast<double>(due - now) / 1e9 : -static_cast<double>(now - due) / 1e9;
    return objc::toId(Date::dateWithTimeIntervalSinceNow(fromNow));
}

id userInfo(id self, SEL) {
    std::lock_guard lock(scheduleMutex());
    return timerState(self)->userInfo;
}

double timeInterval(id self, SEL) {
    const TimerState* state = timerState(self);
    return state->repeats ? state->interval : 0.0;
}

void dealloc(id self, SEL sel) {
    TimerState* state = timerState(self);
    if (state != nullptr) {
        // Never scheduled and never invalidated: it still owns what it was given.
        objc::send(state->target, "release"_sel);
        objc::send(state->userInfo, "release"_sel);
        delete state;
    }
    objc::sendSuper(Timer::runtimeClass(), self, sel);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSTimer", "NSObject")
        .ivar<void*>("_state")
        .classMethod<&scheduledTimerWithTimeInterval>(
            "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:")
        .classMethod<&timerWithTimeInterval>("timerWithTimeInterval:target:selector:userInfo:repeats:")
        .method<&init>("init")
        .method<&initWithFireDate>("initWithFireDate:interval:target:selector:userInfo:repeats:")
        .method<&invalidate>("invalidate")
        .method<&isValid>("isValid")
        .method<&fire>("fire")
        .method<&fireDate>("fireDate")
        .method<&userInfo>("userInfo")
        .method<&timeInterval>("timeInterval")
        .method<&dealloc>("dealloc")
        .build();
}

} // namespace

TimerState* timerState(id timer) { return static_cast<TimerState*>(objc::ivar<void*>(timer, "_state")); }

void timerFireAndRelease(id timer) {
    struct Finish {
        id timer;
        ~Finish() {
            if (!timerState(timer)->repeats) {
                objc::send(timer, "invalidate"_sel);
            }
            objc::send(timer, "release"_sel);
        }
    } finish{timer};
    id target = nil;
    SEL selector = nullptr;
    std::function<void(id)> fn;
    {
        std::lock_guard lock(scheduleMutex());
        TimerState* state = timerState(timer);
        if (!state->valid) {
            return;
        }
        // The callout may invalidate the timer, which lets go of the target: hold it meanwhile.
        target = objc::send<id>(state->target, "retain"_sel);
        selector = state->selector;
        fn = state->fn;
    }
    struct Release {
        id object;
        ~Release() { objc::send(object, "release"_sel); }
    } release{target};
    if (fn) {
        fn(timer);
    } else if (selector != nullptr) {
        objc::send(target, selector, timer);
    }
}

} // namespace NS::detail

namespace NS {

Timer* Timer::timer(double seconds, std::function<void(Timer*)> fn, bool repeats) {
    std::function<void(id)> call;
    if (fn) {
        call = [fn = std::move(fn)](id timer) { fn(reinterpret_cast<Timer*>(timer)); };
    }
    id timer = detail::makeTimer(runtimeClass(), detail::dueAfter(std::max(seconds, detail::minimumInterval)),
                                 seconds, nil, nullptr, nil, repeats, std::move(call));
    return reinterpret_cast<Timer*>(objc::send<id>(timer, objc::Selector<"autorelease">()));
}

Timer* Timer::scheduledTimer(double seconds, std::function<void(Timer*)> fn, bool repeats) {
    Timer* timer = Timer::timer(seconds, std::move(fn), repeats);
    RunLoop::currentRunLoop()->addTimer(timer, DefaultRunLoopMode());
    return timer;
}

} // namespace NS
