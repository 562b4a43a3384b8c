// What the stand-in keeps in each UIView beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIView.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ViewInternals : public objc::Internals<ViewInternals, View> {
  public:
    OBJC_IVAR(_frame, CGRect)
    OBJC_IVAR(_alpha, CGFloat)
    OBJC_IVAR(_subviews, NS::MutableArray*, Owning)
    OBJC_IVAR(_superview, View*)
    OBJC_IVAR(_layer, CA::Layer*, Owning)
    OBJC_IVAR(_translatesAutoresizingMaskIntoConstraints, bool)
    OBJC_IVAR(_backgroundColor, Color*, Owning)
    OBJC_IVAR(_tintColor, Color*, Owning)
    OBJC_IVAR(_constraints, NS::MutableArray*, Owning)
    OBJC_IVAR(_layoutGeneration, unsigned long)
    OBJC_IVAR(_needsLayout, bool)
    OBJC_IVAR(_checkedGeneration, unsigned long)
    OBJC_IVAR(_huggingH, float)
    OBJC_IVAR(_huggingV, float)
    OBJC_IVAR(_compressionH, float)
    OBJC_IVAR(_compressionV, float)
    OBJC_IVAR(_hidden, bool)
};

} // namespace UI
