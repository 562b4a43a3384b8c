#include "UIKit/UINavigationController.hpp"

#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

Class navigationControllerClass() { return objc_lookUpClass("UINavigationController"); }

id stack(id self) { return objc::ivar<id>(self, "_stack"); }
unsigned long depth(id self) { return objc::send<unsigned long>(stack(self), "count"_sel); }
id top(id self) { return objc::send<id>(stack(self), "lastObject"_sel); }
bool onScreen(id self) { return objc::ivar<bool>(self, "_onScreen"); }

id init(id self, SEL) {
    self = objc::sendSuper<id>(navigationControllerClass(), self, "init"_sel);
    if (self == nil) {
        return nil;
    }
    objc::setIvar<id>(
        self, "_stack",
        objc::send<id>(objc::send<id>(objc_lookUpClass("NSMutableArray"), "alloc"_sel), "init"_sel));
    objc::setIvar<id>(self, "_navigationBar",
                      objc::send<id>(objc::send<id>(objc_lookUpClass("UINavigationBar"), "alloc"_sel),
                                     "initWithFrame:"_sel, CGRectMake(0, 0, 320, 44)));
    return self;
}

id initWithRootViewController(id self, SEL, id root) {
    self = objc::send<id>(self, "init"_sel);
    objc::send(self, "pushViewController:animated:"_sel, root, false);
    return self;
}

id viewControllers(id self, SEL) {
    return objc::send<id>(objc::send<id>(stack(self), "copy"_sel), "autorelease"_sel);
}

id topViewController(id self, SEL) { return top(self); }

void pushViewController(id self, SEL, id controller, bool animated) {
    if (controller == nil || objc::send<bool>(stack(self), "containsObject:"_sel, controller)) {
        return;
    }
    id leaving = top(self);
    const bool shown = onScreen(self);
    if (shown) {
        objc::send(leaving, "viewWillDisappear:"_sel, animated);
    }
    objc::send(stack(self), "addObject:"_sel, controller);
    objc::send(controller, "setNavigationController:"_sel, self);
    if (shown) {
        objc::send<id>(controller, "view"_sel);
        objc::send(controller, "viewWillAppear:"_sel, animated);
        objc::send(leaving, "viewDidDisappear:"_sel, animated);
        objc::send(controller, "viewDidAppear:"_sel, animated);
    }
}

id popViewController(id self, SEL, bool animated) {
    if (depth(self) <= 1) {
        return nil;
    }
    id leaving = objc::send<id>(objc::send<id>(top(self), "retain"_sel), "autorelease"_sel);
    const bool shown = onScreen(self);
    if (shown) {
        objc::send(leaving, "viewWillDisappear:"_sel, animated);
    }
    objc::send(stack(self), "removeLastObject"_sel);
    objc::send(leaving, "setNavigationController:"_sel, nil);
    id coming = top(self);
    if (shown) {
        objc::send(coming, "viewWillAppear:"_sel, animated);
        objc::send(leaving, "viewDidDisappear:"_sel, animated);
        objc::send(coming, "viewDidAppear:"_sel, animated);
    }
    return leaving;
}

id popToRootViewController(id self, SEL, bool animated) {
    id popped = objc::send<id>(objc_lookUpClass("NSMutableArray"), "array"_sel);
    while (id leaving = objc::send<id>(self, "popViewControllerAnimated:"_sel, animated)) {
        objc::send(popped, "addObject:"_sel, leaving);
    }
    return popped;
}

// The controllers of the stack appear and disappear with the navigation controller itself.
void viewWillAppear(id self, SEL sel, bool animated) {
    objc::sendSuper(navigationControllerClass(), self, sel, animated);
    objc::setIvar<bool>(self, "_onScreen", true);
    objc::send<id>(top(self), "view"_sel);
    objc::send(top(self), sel, animated);
}

void forwardToTop(id self, SEL sel, bool animated) {
    objc::sendSuper(navigationControllerClass(), self, sel, animated);
    objc::send(top(self), sel, animated);
}

void viewWillDisappear(id self, SEL sel, bool animated) {
    forwardToTop(self, sel, animated);
    objc::setIvar<bool>(self, "_onScreen", false);
}

void dealloc(id self, SEL sel) {
    const unsigned long n = depth(self);
    for (unsigned long i = 0; i < n; ++i) {
        objc::send(objc::send<id>(stack(self), "objectAtIndex:"_sel, i), "setNavigationController:"_sel, nil);
    }
    objc::sendSuper(navigationControllerClass(), self, sel);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UINavigationController", "UIViewController")
        .ivar<id>("_stack", objc::Ownership::Owning)
        .ivar<bool>("_onScreen")
        .property<id>("navigationBar")
        .method<&init>("init")
        .method<&initWithRootViewController>("initWithRootViewController:")
        .method<&viewControllers>("viewControllers")
        .method<&topViewController>("topViewController")
        .method<&pushViewController>("pushViewController:animated:")
        .method<&popViewController>("popViewControllerAnimated:")
        .method<&popToRootViewController>("popToRootViewControllerAnimated:")
        .method<&viewWillAppear>("viewWillAppear:")
        .method<&forwardToTop>("viewDidAppear:")
        .method<&viewWillDisappear>("viewWillDisappear:")
        .method<&forwardToTop>("viewDidDisappear:")
        .method<&dealloc>("dealloc")
        .build();
}

} // namespace
