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
    View* initWithFrame(CGRect frame) {
        return objc::send<View*>(this, objc::Selector<"initWithFrame:">(), frame);
    }

    CGRect frame() { return objc::send<CGRect>(this, objc::Selector<"frame">()); }
    void setFrame(CGRect frame) { objc::send<void>(this, objc::Selector<"setFrame:">(), frame); }
    CGRect bounds() { return objc::send<CGRect>(this, objc::Selector<"bounds">()); }

    CGFloat alpha() { return objc::send<CGFloat>(this, objc::Selector<"alpha">()); }
    void setAlpha(CGFloat alpha) { objc::send<void>(this, objc::Selector<"setAlpha:">(), alpha); }
    bool isHidden() { return objc::send<bool>(this, objc::Selector<"isHidden">()); }
    void setHidden(bool hidden) { objc::send<void>(this, objc::Selector<"setHidden:">(), hidden); }
    id backgroundColor() { return objc::send<id>(this, objc::Selector<"backgroundColor">()); }
    void setBackgroundColor(id color) {
        objc::send<void>(this, objc::Selector<"setBackgroundColor:">(), color);
    }

    // Subviews in back-to-front order; never nil.
    NS::Array* subviews() { return objc::send<NS::Array*>(this, objc::Selector<"subviews">()); }
    View* superview() { return objc::send<View*>(this, objc::Selector<"superview">()); }
    // Takes `view` from its old superview, if any, and puts it in front of the others.
    void addSubview(View* view) { objc::send<void>(this, objc::Selector<"addSubview:">(), view); }
    void removeFromSuperview() { objc::send<void>(this, objc::Selector<"removeFromSuperview">()); }
};

} // namespace UI
