// What the stand-in keeps in each NSDate beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSDate.hpp"
#include "objc/Internals.hpp"

namespace NS {

class DateInternals : public objc::Internals<DateInternals, Date> {
  public:
    OBJC_IVAR(_interval, double)
};

} // namespace NS
