// What the stand-in keeps in each NSTimer beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSTimer.hpp"
#include "objc/Internals.hpp"

namespace NS {

class TimerInternals : public objc::Internals<TimerInternals, Timer> {
  public:
    OBJC_IVAR(_state, void*)
};

} // namespace NS
