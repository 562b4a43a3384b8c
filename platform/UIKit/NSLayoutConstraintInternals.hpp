// The inner workings of NSLayoutConstraint: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/NSLayoutConstraint.hpp"
#include "objc/Internals.hpp"

namespace NS {

class LayoutConstraintInternals : public objc::Internals<LayoutConstraintInternals, LayoutConstraint> {
  public:
    // The items are never sent anything by the constraint: a layout pass only compares them with
    // the views it lays out, so a view gone before its constraint is never touched through it.
    OBJC_IVAR(_firstItem, UI::View*)
    OBJC_IVAR(_firstAttribute, LayoutAttribute)
    OBJC_IVAR(_relation, LayoutRelation)
    OBJC_IVAR(_secondItem, UI::View*)
    OBJC_IVAR(_secondAttribute, LayoutAttribute)
    OBJC_IVAR(_multiplier, CGFloat)
    OBJC_IVAR(_constant, CGFloat)
    OBJC_IVAR(_priority, LayoutPriority)
};

} // namespace NS
