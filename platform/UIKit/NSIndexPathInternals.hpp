// The inner workings of NSIndexPath: what the stand-in keeps and does beside what iOS declares.
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
