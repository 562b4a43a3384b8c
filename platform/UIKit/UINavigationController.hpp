// UINavigationController: a stack of view controllers under one navigation bar.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace NS {
class Array;
} // namespace NS

namespace UI {

class NavigationBar;

class GLINTMERE_EXPORT NavigationController
    : public NS::Referencing<NavigationController, "UINavigationController", ViewController> {
  public:
    NavigationController* initWithRootViewController(ViewController* root) {
        return objc::send<NavigationController*>(this, objc::Selector<"initWithRootViewController:">(), root);
    }

    NavigationBar* navigationBar() {
        return objc::send<NavigationBar*>(this, objc::Selector<"navigationBar">());
    }
    // The stack, root first; a copy.
    NS::Array* viewControllers() { return objc::send<NS::Array*>(this, objc::Selector<"viewControllers">()); }
    ViewController* topViewController() {
        return objc::send<ViewController*>(this, objc::Selector<"topViewController">());
    }

    // While the navigation controller is on screen, the controller that leaves the top is told it
    // will disappear and the one that comes to the top that it will appear.
    void pushViewController(ViewController* controller, bool animated) {
        objc::send<void>(this, objc::Selector<"pushViewController:animated:">(), controller, animated);
    }
    // The popped controller (autoreleased); nil, and nothing happens, when only the root is left.
    ViewController* popViewController(bool animated) {
        return objc::send<ViewController*>(this, objc::Selector<"popViewControllerAnimated:">(), animated);
    }
    void popToRootViewController(bool animated) {
        objc::send<id>(this, objc::Selector<"popToRootViewControllerAnimated:">(), animated);
    }
};

} // namespace UI
