// UIView: a rectangle of the screen in a tree of views, the base of everything the app shows.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace NS {
class Array;
} // namespace NS

namespace CA {
class Layer;
} // namespace CA

namespace UI {

class Color;

class GLINTMERE_EXPORT View : public NS::Referencing<View, "UIView"> {
  public:
    OBJC_MESSAGE(initWithFrame, "initWithFrame:", View*(CGRect))

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

    // Subviews in back-to-front order; never nil.
    OBJC_MESSAGE(subviews, "subviews", NS::Array*())
    OBJC_MESSAGE(superview, "superview", View*())
    // Takes `view` from its old superview, if any, and puts it in front of the others.
    OBJC_MESSAGE(addSubview, "addSubview:", void(View*))
    OBJC_MESSAGE(removeFromSuperview, "removeFromSuperview", void())
};

} // namespace UI
