// The inner workings of NSNumber: what the stand-in keeps and does beside what iOS declares.
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
