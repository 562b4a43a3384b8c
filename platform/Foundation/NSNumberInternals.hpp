// What the stand-in keeps in each NSNumber beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSNumber.hpp"
#include "objc/Internals.hpp"

namespace NS {

class NumberInternals : public objc::Internals<NumberInternals, Number> {
  public:
    OBJC_IVAR(_type, char)
    OBJC_IVAR(_integer, long long)
    OBJC_IVAR(_real, double)
};

} // namespace NS
