// The inner workings of NSArray and NSMutableArray: what the stand-in keeps and does beside what
// iOS declares.
#pragma once

#include "Foundation/NSArray.hpp"
#include "objc/Internals.hpp"

namespace NS {

class ArrayInternals : public objc::Internals<ArrayInternals, Array> {
  public:
    OBJC_IVAR(_items, void*)
};

} // namespace NS
