// The inner workings of NSTimer: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSTimer.hpp"
#include "objc/Internals.hpp"

namespace NS {

class GLINTMERE_EXPORT TimerInternals : public objc::Internals<TimerInternals, Timer> {
  public:
    OBJC_IVAR(_state, void*)

    // The same, calling `fn` instead of sending a message.
    static Timer* scheduledTimer(double seconds, std::function<void(Timer*)> fn, bool repeats);
    static Timer* timer(double seconds, std::function<void(Timer*)> fn, bool repeats);
};

} // namespace NS
