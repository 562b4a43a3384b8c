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
    OBJC_MESSAGE(tintColor, "tintColor", id())
    OBJC_MESSAGE(setTintColor, "setTintColor:", void(id))
    // Colour of the bar's background; nil for the system's default.
    OBJC_MESSAGE(barTintColor, "barTintColor", id())
    OBJC_MESSAGE(setBarTintColor, "setBarTintColor:", void(id))
    // Text attributes of the title (for example its foreground colour); nil for the default.
    OBJC_MESSAGE(titleTextAttributes, "titleTextAttributes", NS::Dictionary*())
    OBJC_MESSAGE(setTitleTextAttributes, "setTitleTextAttributes:", void(NS::Dictionary*))
};

} // namespace UI
