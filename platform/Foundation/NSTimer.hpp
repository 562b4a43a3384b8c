// NSTimer: a message (or C++ callable) sent once or repeatedly by a run loop after an interval.
#pragma once

#include "Foundation/NSObject.hpp"

#include <functional>

namespace NS {

class Date;

// A timer keeps its target and user info until it has fired (one-shot) or is invalidated; the run
// loop that it is scheduled on keeps the timer. Intervals of zero or less count as 0.1 ms.
class GLINTMERE_EXPORT Timer : public Referencing<Timer, "NSTimer"> {
  public:
    // A timer on the current thread's run loop; the selector receives the timer as its argument.
    static Timer* scheduledTimerWithTimeInterval(double seconds, Object* target, SEL selector,
                                                 Object* userInfo, bool repeats) {
        return objc::send<Timer*>(
            runtimeClass(),
            objc::Selector<"scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:">(), seconds,
            target, selector, userInfo, repeats);
    }
    // A timer that runs once it is added to a run loop; its first fire date is `seconds` from now.
    static Timer* timerWithTimeInterval(double seconds, Object* target, SEL selector, Object* userInfo,
                                        bool repeats) {
        return objc::send<Timer*>(runtimeClass(),
                                  objc::Selector<"timerWithTimeInterval:target:selector:userInfo:repeats:">(),
                                  seconds, target, selector, userInfo, repeats);
    }
    // The same, calling `fn` instead of sending a message.
    static Timer* scheduledTimer(double seconds, std::function<void(Timer*)> fn, bool repeats);
    static Timer* timer(double seconds, std::function<void(Timer*)> fn, bool repeats);

    void invalidate() { objc::send<void>(this, objc::Selector<"invalidate">()); }
    bool isValid() { return objc::send<bool>(this, objc::Selector<"isValid">()); }
    // Fires now without changing the schedule; a one-shot timer is invalidated by it.
    void fire() { objc::send<void>(this, objc::Selector<"fire">()); }
    Date* fireDate() { return objc::send<Date*>(this, objc::Selector<"fireDate">()); }
    Object* userInfo() { return objc::send<Object*>(this, objc::Selector<"userInfo">()); }
    // The repeat interval; 0 for a one-shot timer.
    double timeInterval() { return objc::send<double>(this, objc::Selector<"timeInterval">()); }
};

} // namespace NS
