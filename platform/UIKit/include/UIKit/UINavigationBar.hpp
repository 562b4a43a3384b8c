// UINavigationBar: the bar at the top of a navigation controller, with its colours and title style.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class Array;
class Dictionary;
class String;
} // namespace NS

// The key of a title text attribute that holds the title's colour (a UIColor), "NSColor", as UIKit
// exports it.
extern "C" GLINTMERE_EXPORT NS::String* const NSForegroundColorAttributeName;

namespace UI {

class NavigationItem;

class GLINTMERE_EXPORT NavigationBar : public NS::Referencing<NavigationBar, "UINavigationBar", View> {
  public:
    // Colour of the bar buttons and back indicator; nil (the colour around the bar, else the
    // system's blue, is drawn then) until set, and again once set to nil.
    OBJC_MESSAGE(tintColor, "tintColor", Color*())
    OBJC_MESSAGE(setTintColor, "setTintColor:", void(Color*))
    // Colour of the bar's background; nil for the system's default.
    OBJC_MESSAGE(barTintColor, "barTintColor", Color*())
    OBJC_MESSAGE(setBarTintColor, "setBarTintColor:", void(Color*))
    // Text attributes of the title (for example its foreground colour); nil for the default.
    OBJC_MESSAGE(titleTextAttributes, "titleTextAttributes", NS::Dictionary*())
    OBJC_MESSAGE(setTitleTextAttributes, "setTitleTextAttributes:", void(NS::Dictionary*))

    // The items of the controllers below, root first; the bar shows the last one and a back button
    // to the one before it. Kept by the navigation controller.
    OBJC_MESSAGE(items, "items", NS::Array*())
    OBJC_MESSAGE_NAMED(setItems, setItemsAnimated_, "setItems:animated:", void(NS::Array*, bool))
    OBJC_MESSAGE(topItem, "topItem", NavigationItem*())
    OBJC_MESSAGE(backItem, "backItem", NavigationItem*())
};

} // namespace UI
