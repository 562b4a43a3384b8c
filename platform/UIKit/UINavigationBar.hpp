// UINavigationBar: the bar at the top of a navigation controller, with its colours and title style.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class Dictionary;
} // namespace NS

namespace UI {

class GLINTMERE_EXPORT NavigationBar : public NS::Referencing<NavigationBar, "UINavigationBar", View> {
  public:
    // Colour of the bar buttons; nil for the system's default.
    id tintColor() { return objc::send<id>(this, objc::Selector<"tintColor">()); }
    void setTintColor(id color) { objc::send<void>(this, objc::Selector<"setTintColor:">(), color); }
    // Colour of the bar's background; nil for the system's default.
    id barTintColor() { return objc::send<id>(this, objc::Selector<"barTintColor">()); }
    void setBarTintColor(id color) { objc::send<void>(this, objc::Selector<"setBarTintColor:">(), color); }
    // Text attributes of the title (for example its foreground colour); nil for the default.
    NS::Dictionary* titleTextAttributes() {
        return objc::send<NS::Dictionary*>(this, objc::Selector<"titleTextAttributes">());
    }
    void setTitleTextAttributes(NS::Dictionary* attributes) {
        objc::send<void>(this, objc::Selector<"setTitleTextAttributes:">(), attributes);
    }
};

} // namespace UI
