// UIWindow: the screen's root view, holding the root view controller's view and the status bar.
#pragma once

#include "UIKit/UIView.hpp"

namespace UI {

class ViewController;
class StatusBar;

class GLINTMERE_EXPORT Window : public NS::Referencing<Window, "UIWindow", View> {
  public:
    // `init` makes a window of the screen's size.
    OBJC_MESSAGE(rootViewController, "rootViewController", ViewController*())
    // Owns the controller and shows its view, filling the window.
    OBJC_MESSAGE(setRootViewController, "setRootViewController:", void(ViewController*))
    // Puts the status bar on top, and tells the root view controller it appears (once).
    OBJC_MESSAGE(makeKeyAndVisible, "makeKeyAndVisible", void())
};

// The status bar the window shows on top: carrier, time and battery, dark or light by the
// application's `statusBarStyle`.
class GLINTMERE_EXPORT StatusBar : public NS::Referencing<StatusBar, "UIStatusBar", View> {};

} // namespace UI
