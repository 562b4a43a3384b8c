// UINavigationController: a stack of view controllers under one navigation bar. Its view holds the
// bar (below the status bar when the view starts at the top of the screen) and the top controller's
// view under it.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace NS {
class Array;
class MutableArray;
} // namespace NS

namespace UI {

class NavigationBar;

class GLINTMERE_EXPORT NavigationController
    : public NS::Referencing<NavigationController, "UINavigationController", ViewController> {
  public:
    OBJC_MESSAGE(initWithRootViewController,
                 "initWithRootViewController:", NavigationController*(ViewController*))

    OBJC_MESSAGE(navigationBar, "navigationBar", NavigationBar*())
    // A hidden bar leaves the whole view to the top controller's view.
    OBJC_MESSAGE(isNavigationBarHidden, "isNavigationBarHidden", bool())
    OBJC_MESSAGE(setNavigationBarHidden, "setNavigationBarHidden:", void(bool))
    OBJC_MESSAGE_NAMED(setNavigationBarHidden, setNavigationBarHiddenAnimated_,
                       "setNavigationBarHidden:animated:", void(bool, bool))
    // The stack, root first; a copy.
    OBJC_MESSAGE(viewControllers, "viewControllers", NS::Array*())
    OBJC_MESSAGE(topViewController, "topViewController", ViewController*())

    // While the navigation controller is on screen, the controller that leaves the top is told it
    // will disappear and the one that comes to the top that it will appear.
    OBJC_MESSAGE_NAMED(pushViewController, pushViewControllerAnimated_,
                       "pushViewController:animated:", void(ViewController*, bool))
    // The popped controller (autoreleased); nil, and nothing happens, when only the root is left.
    OBJC_MESSAGE_NAMED(popViewController, popViewControllerAnimated_,
                       "popViewControllerAnimated:", ViewController*(bool))
    // The popped controllers, autoreleased, in the order they were popped.
    OBJC_MESSAGE_NAMED(popToRootViewController, popToRootViewControllerAnimated_,
                       "popToRootViewControllerAnimated:", NS::Array*(bool))
};

} // namespace UI
