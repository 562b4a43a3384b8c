// UIView: a rectangle of the screen in a tree of views, the base of everything the app shows.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace NS {
class Array;
class Block;
class MutableArray;
} // namespace NS

namespace CA {
class Layer;
} // namespace CA

namespace NS {
class LayoutConstraint;
} // namespace NS

namespace UI {

class Color;

// UIViewAnimationOptions: the timing curve, in bits 16 and 17; other options are accepted and ignored.
enum ViewAnimationOptions : unsigned long {
    ViewAnimationOptionCurveEaseInOut = 0UL << 16,
    ViewAnimationOptionCurveEaseIn = 1UL << 16,
    ViewAnimationOptionCurveEaseOut = 2UL << 16,
    ViewAnimationOptionCurveLinear = 3UL << 16,
};

// UILayoutConstraintAxis.
enum LayoutConstraintAxis : long { LayoutConstraintAxisHorizontal = 0, LayoutConstraintAxisVertical = 1 };

// UIViewNoIntrinsicMetric: a dimension that the view's content does not decide.
inline constexpr CGFloat ViewNoIntrinsicMetric = -1;

class GLINTMERE_EXPORT View : public NS::Referencing<View, "UIView"> {
  public:
    OBJC_MESSAGE(initWithFrame, "initWithFrame:", View*(CGRect))

    // Animations: `animations` (a block of void()) sets new alphas, frames or background colours;
    // the screen then goes from the old values to the new over `duration` seconds, after `delay`,
    // stepped by the main run loop, on the curve the options name (ease in and out unless named).
    // `completion` (a block of void(bool), or nil) then gets YES, or NO when a newer value of the
    // same property took over meanwhile. While it runs, a view answers the value it shows.
    OBJC_CLASS_MESSAGE_NAMED(animateWithDuration, animateWithDurationAnimations_,
                             "animateWithDuration:animations:", void(double, NS::Block*))
    OBJC_CLASS_MESSAGE_NAMED(animateWithDuration, animateWithDurationAnimationsCompletion_,
                             "animateWithDuration:animations:completion:",
                             void(double, NS::Block*, NS::Block*))
    OBJC_CLASS_MESSAGE_NAMED(animateWithDuration, animateWithDurationDelayOptionsAnimationsCompletion_,
                             "animateWithDuration:delay:options:animations:completion:",
                             void(double, double, ViewAnimationOptions, NS::Block*, NS::Block*))

    // The frame is in the superview's coordinates; bounds are the view's own (origin 0, 0), and
    // center is the frame's middle in the superview's. Setting bounds keeps the center.
    OBJC_MESSAGE(frame, "frame", CGRect())
    OBJC_MESSAGE(setFrame, "setFrame:", void(CGRect))
    OBJC_MESSAGE(bounds, "bounds", CGRect())
    OBJC_MESSAGE(setBounds, "setBounds:", void(CGRect))
    OBJC_MESSAGE(center, "center", CGPoint())
    OBJC_MESSAGE(setCenter, "setCenter:", void(CGPoint))

    OBJC_MESSAGE(alpha, "alpha", CGFloat())
    OBJC_MESSAGE(setAlpha, "setAlpha:", void(CGFloat))
    OBJC_MESSAGE(isHidden, "isHidden", bool())
    OBJC_MESSAGE(setHidden, "setHidden:", void(bool))
    // nil (nothing drawn behind the content) until set.
    OBJC_MESSAGE(backgroundColor, "backgroundColor", Color*())
    OBJC_MESSAGE(setBackgroundColor, "setBackgroundColor:", void(Color*))
    OBJC_MESSAGE(clipsToBounds, "clipsToBounds", bool())
    OBJC_MESSAGE(setClipsToBounds, "setClipsToBounds:", void(bool))
    // The view's own tint, else its superview's, else the system's blue: never nil. Setting nil
    // returns the view to inheriting.
    OBJC_MESSAGE(tintColor, "tintColor", Color*())
    OBJC_MESSAGE(setTintColor, "setTintColor:", void(Color*))
    // The layer behind the view, made with it; never nil.
    OBJC_MESSAGE(layer, "layer", CA::Layer*())
    // YES until set: the frame is then fixed as given, not decided by constraints.
    OBJC_MESSAGE(translatesAutoresizingMaskIntoConstraints, "translatesAutoresizingMaskIntoConstraints",
                 bool())
    OBJC_MESSAGE(setTranslatesAutoresizingMaskIntoConstraints,
                 "setTranslatesAutoresizingMaskIntoConstraints:", void(bool))

    // Constraints installed on this view, each solved in its coordinates; never nil. The view keeps
    // what it is given.
    OBJC_MESSAGE(constraints, "constraints", NS::Array*())
    OBJC_MESSAGE(addConstraint, "addConstraint:", void(NS::LayoutConstraint*))
    OBJC_MESSAGE(addConstraints, "addConstraints:", void(NS::Array*))
    OBJC_MESSAGE(removeConstraint, "removeConstraint:", void(NS::LayoutConstraint*))
    // The size the content wants, ViewNoIntrinsicMetric where it wants none (as a plain view does).
    OBJC_MESSAGE(intrinsicContentSize, "intrinsicContentSize", CGSize())
    OBJC_MESSAGE(invalidateIntrinsicContentSize, "invalidateIntrinsicContentSize", void())
    OBJC_MESSAGE(contentHuggingPriorityForAxis, "contentHuggingPriorityForAxis:", float(LayoutConstraintAxis))
    OBJC_MESSAGE(setContentHuggingPriority,
                 "setContentHuggingPriority:forAxis:", void(float, LayoutConstraintAxis))
    OBJC_MESSAGE(contentCompressionResistancePriorityForAxis,
                 "contentCompressionResistancePriorityForAxis:", float(LayoutConstraintAxis))
    OBJC_MESSAGE(setContentCompressionResistancePriority,
                 "setContentCompressionResistancePriority:forAxis:", void(float, LayoutConstraintAxis))
    // The size that fits the content (a plain view: its own), and the view made that size.
    OBJC_MESSAGE(sizeThatFits, "sizeThatFits:", CGSize(CGSize))
    OBJC_MESSAGE(sizeToFit, "sizeToFit", void())
    // Layout: setNeedsLayout marks the view (as a new size, a new subview or a lost one do), and
    // layoutIfNeeded lays out the view's tree when a view of it is marked or a constraint changed (see
    // Layout/LayoutPass.hpp): each marked view gets layoutSubviews once, after its superview's.
    // layoutSubviews is what a subclass overrides to place its subviews itself, after the constraints placed
    // them; the main run loop lays out the windows before it waits.
    OBJC_MESSAGE(setNeedsLayout, "setNeedsLayout", void())
    OBJC_MESSAGE(layoutIfNeeded, "layoutIfNeeded", void())
    OBJC_MESSAGE(layoutSubviews, "layoutSubviews", void())

    // Subviews in back-to-front order; never nil.
    OBJC_MESSAGE(subviews, "subviews", NS::Array*())
    OBJC_MESSAGE(superview, "superview", View*())
    // Takes `view` from its old superview, if any, and puts it in front of the others.
    OBJC_MESSAGE(addSubview, "addSubview:", void(View*))
    // The same, but just behind `sibling` (in front of all when `sibling` is not a subview).
    OBJC_MESSAGE_NAMED(insertSubview, insertSubviewBelowSubview_,
                       "insertSubview:belowSubview:", void(View*, View*))
    OBJC_MESSAGE(removeFromSuperview, "removeFromSuperview", void())
};

} // namespace UI
