// What the stand-in keeps in each NSArray beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSArray.hpp"
#include "objc/Internals.hpp"

namespace NS {

class ArrayInternals : public objc::Internals<ArrayInternals, Array> {
  public:
    OBJC_IVAR(_items, void*)
};

} // namespace NS
