// What the stand-in keeps in each NSIndexPath beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/NSIndexPath.hpp"
#include "objc/Internals.hpp"

namespace NS {

class IndexPathInternals : public objc::Internals<IndexPathInternals, IndexPath> {
  public:
    OBJC_IVAR(_row, long)
    OBJC_IVAR(_section, long)
};

} // namespace NS
