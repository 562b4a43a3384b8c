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
    OBJC_CLASS_MESSAGE_NAMED(scheduledTimerWithTimeInterval,
                             scheduledTimerWithTimeIntervalTargetSelectorUserInfoRepeats_,
                             "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:",
                             Timer*(double, Object*, SEL, Object*, bool))
    // A timer that runs once it is added to a run loop; its first fire date is `seconds` from now.
    OBJC_CLASS_MESSAGE_NAMED(timerWithTimeInterval, timerWithTimeIntervalTargetSelectorUserInfoRepeats_,
                             "timerWithTimeInterval:target:selector:userInfo:repeats:",
                             Timer*(double, Object*, SEL, Object*, bool))
    // A timer first due at `date` that sends `selector` to `target`, once added to a run loop.
    OBJC_MESSAGE_NAMED(initWithFireDate, initWithFireDateIntervalTargetSelectorUserInfoRepeats_,
                       "initWithFireDate:interval:target:selector:userInfo:repeats:",
                       Timer*(Date*, double, Object*, SEL, Object*, bool))

    OBJC_MESSAGE(invalidate, "invalidate", void())
    OBJC_MESSAGE(isValid, "isValid", bool())
    // Fires now without changing the schedule; a one-shot timer is invalidated by it.
    OBJC_MESSAGE(fire, "fire", void())
    OBJC_MESSAGE(fireDate, "fireDate", Date*())
    OBJC_MESSAGE(userInfo, "userInfo", Object*())
    // The repeat interval; 0 for a one-shot timer.
    OBJC_MESSAGE(timeInterval, "timeInterval", double())
};

} // namespace NS
