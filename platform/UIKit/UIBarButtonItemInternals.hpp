// What the stand-in keeps in each UIBarButtonItem beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIBarButtonItem.hpp"
#include "objc/Internals.hpp"

namespace UI {

class BarButtonItemInternals : public objc::Internals<BarButtonItemInternals, BarButtonItem> {
  public:
    OBJC_IVAR(_systemItem, long)
    OBJC_IVAR(_target, id)
    OBJC_IVAR(_action, SEL)
    OBJC_IVAR(_enabled, bool)
};

} // namespace UI
