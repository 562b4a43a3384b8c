// NSLayoutConstraint: one linear relation between attributes of two views (or one view and a
// constant), which a layout pass solves together with every other constraint of the window.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {
class View;
} // namespace UI

namespace NS {

enum LayoutAttribute : long {
    LayoutAttributeNotAnAttribute = 0,
    LayoutAttributeLeft = 1,
    LayoutAttributeRight = 2,
    LayoutAttributeTop = 3,
    LayoutAttributeBottom = 4,
    LayoutAttributeLeading = 5,
    LayoutAttributeTrailing = 6,
    LayoutAttributeWidth = 7,
    LayoutAttributeHeight = 8,
    LayoutAttributeCenterX = 9,
    LayoutAttributeCenterY = 10,
    LayoutAttributeLastBaseline = 11, // iOS 8.0 and later (Baseline, its value, from 6.0)
    LayoutAttributeBaseline = LayoutAttributeLastBaseline,
    // iOS 8.0 and later: the first baseline and the attributes of the margins.
    LayoutAttributeFirstBaseline = 12,
    LayoutAttributeLeftMargin = 13,
    LayoutAttributeRightMargin = 14,
    LayoutAttributeTopMargin = 15,
    LayoutAttributeBottomMargin = 16,
    LayoutAttributeLeadingMargin = 17,
    LayoutAttributeTrailingMargin = 18,
    LayoutAttributeCenterXWithinMargins = 19,
    LayoutAttributeCenterYWithinMargins = 20,
};

enum LayoutRelation : long {
    LayoutRelationLessThanOrEqual = -1,
    LayoutRelationEqual = 0,
    LayoutRelationGreaterThanOrEqual = 1,
};

// UILayoutPriority.
using LayoutPriority = float;
inline constexpr LayoutPriority LayoutPriorityRequired = 1000;
inline constexpr LayoutPriority LayoutPriorityDefaultHigh = 750;
inline constexpr LayoutPriority LayoutPriorityDefaultLow = 250;

// The constraint does not own its views (a view owns the constraints installed on it); a view
// leaving its superview takes with it the constraints of its old ancestors that name it.
class GLINTMERE_EXPORT LayoutConstraint : public Referencing<LayoutConstraint, "NSLayoutConstraint"> {
  public:
    // item.attribute (relation) multiplier × toItem.toAttribute + constant; an autoreleased
    // constraint, required until its priority is set.
    OBJC_CLASS_MESSAGE_NAMED(constraintWithItem, constraintWithItem_,
                             "constraintWithItem:attribute:relatedBy:toItem:attribute:multiplier:constant:",
                             LayoutConstraint*(UI::View*, LayoutAttribute, LayoutRelation, UI::View*,
                                               LayoutAttribute, CGFloat, CGFloat))

    OBJC_MESSAGE(firstItem, "firstItem", UI::View*())
    OBJC_MESSAGE(firstAttribute, "firstAttribute", LayoutAttribute())
    OBJC_MESSAGE(relation, "relation", LayoutRelation())
    OBJC_MESSAGE(secondItem, "secondItem", UI::View*())
    OBJC_MESSAGE(secondAttribute, "secondAttribute", LayoutAttribute())
    OBJC_MESSAGE(multiplier, "multiplier", CGFloat())
    OBJC_MESSAGE(constant, "constant", CGFloat())
    OBJC_MESSAGE(setConstant, "setConstant:", void(CGFloat))
    OBJC_MESSAGE(priority, "priority", LayoutPriority())
    OBJC_MESSAGE(setPriority, "setPriority:", void(LayoutPriority))
    // A name for the constraint in layout reports; nil until set.
    OBJC_MESSAGE(identifier, "identifier", String*())
    OBJC_MESSAGE(setIdentifier, "setIdentifier:", void(String*))
};

} // namespace NS
