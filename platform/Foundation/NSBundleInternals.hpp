// The inner workings of NSBundle: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "Foundation/NSBundle.hpp"
#include "objc/Internals.hpp"

namespace NS {

class BundleInternals : public objc::Internals<BundleInternals, Bundle> {
  public:
    OBJC_IVAR(_state, void*)
};

} // namespace NS
