// The inner workings of NSDate: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSDate.hpp"
#include "objc/Internals.hpp"

namespace NS {

class DateInternals : public objc::Internals<DateInternals, Date> {
  public:
    OBJC_IVAR(_interval, double)
};

} // namespace NS
