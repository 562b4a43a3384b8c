// UIView: a rectangle of the screen in a tree of views, the base of everything the app shows.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace NS {
class Array;
} // namespace NS

namespace UI {

class GLINTMERE_EXPORT View : public NS::Referencing<View, "UIView"> {
  public:
    OBJC_MESSAGE(initWithFrame, "initWithFrame:", View*(CGRect))

    OBJC_MESSAGE(frame, "frame", CGRect())
    OBJC_MESSAGE(setFrame, "setFrame:", void(CGRect))
    OBJC_MESSAGE(bounds, "bounds", CGRect())

    OBJC_MESSAGE(alpha, "alpha", CGFloat())
    OBJC_MESSAGE(setAlpha, "setAlpha:", void(CGFloat))
    OBJC_MESSAGE(isHidden, "isHidden", bool())
    OBJC_MESSAGE(setHidden, "setHidden:", void(bool))
    OBJC_MESSAGE(backgroundColor, "backgroundColor", id())
    OBJC_MESSAGE(setBackgroundColor, "setBackgroundColor:", void(id))

    // Subviews in back-to-front order; never nil.
    OBJC_MESSAGE(subviews, "subviews", NS::Array*())
    OBJC_MESSAGE(superview, "superview", View*())
    // Takes `view` from its old superview, if any, and puts it in front of the others.
    OBJC_MESSAGE(addSubview, "addSubview:", void(View*))
    OBJC_MESSAGE(removeFromSuperview, "removeFromSuperview", void())
};

} // namespace UI
