// What the stand-in keeps in each NSRunLoop beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSRunLoop.hpp"
#include "objc/Internals.hpp"

namespace NS {

class RunLoopInternals : public objc::Internals<RunLoopInternals, RunLoop> {
  public:
    OBJC_IVAR(_state, void*)
};

} // namespace NS
