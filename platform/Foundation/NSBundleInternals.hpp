// What the stand-in keeps in each NSBundle beside what iOS declares: its instance variables.
#pragma once

#include "Foundation/NSBundle.hpp"
#include "objc/Internals.hpp"

namespace NS {

class BundleInternals : public objc::Internals<BundleInternals, Bundle> {
  public:
    OBJC_IVAR(_state, void*)
};

} // namespace NS
