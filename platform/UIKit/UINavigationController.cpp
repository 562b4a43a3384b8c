#include "UIKit/UINavigationController.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using UI::NavigationController;
using UI::ViewController;

objc::Ptr<NS::MutableArray> stack(NavigationController* self) {
    return objc::ivar<NS::MutableArray*>(self, "_stack");
}
objc::Ptr<ViewController> top(NavigationController* self) {
    return stack(self)->lastObject().as<ViewController>();
}
bool onScreen(NavigationController* self) { return objc::ivar<bool>(self, "_onScreen"); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<NavigationController>()
        .ivar<NS::MutableArray*>("_stack", objc::Ownership::Owning)
        .ivar<bool>("_onScreen")
        .property<UI::NavigationBar*>("navigationBar")
        .method(NavigationController::init_,
                [](NavigationController* self) -> NavigationController* {
                    auto controller = NavigationController::init_.super<NavigationController>(self);
                    if (controller == nullptr) {
                        return nullptr;
                    }
                    objc::setIvar<NS::MutableArray*>(controller, "_stack", NS::MutableArray::alloc()->init());
                    objc::setIvar<UI::View*>(
                        controller, "_navigationBar",
                        UI::NavigationBar::alloc()->initWithFrame(CGRectMake(0, 0, 320, 44)));
                    return controller;
                })
        .method(NavigationController::initWithRootViewController_,
                [](NavigationController* self, ViewController* root) -> NavigationController* {
                    auto controller = self->init();
                    controller->pushViewController(root, false);
                    return controller;
                })
        .method(NavigationController::viewControllers_,
                [](NavigationController* self) -> NS::Array* {
                    return stack(self)->copy()->autorelease().as<NS::Array>();
                })
        .method(NavigationController::topViewController_,
                [](NavigationController* self) -> ViewController* { return top(self); })
        .method(NavigationController::pushViewControllerAnimated_,
                [](NavigationController* self, ViewController* controller, bool animated) {
                    if (controller == nullptr || stack(self)->containsObject(controller)) {
                        return;
                    }
                    auto leaving = top(self);
                    const bool shown = onScreen(self);
                    if (shown) {
                        leaving->viewWillDisappear(animated);
                    }
                    stack(self)->addObject(controller);
                    controller->setNavigationController(self);
                    if (shown) {
                        controller->view();
                        controller->viewWillAppear(animated);
                        leaving->viewDidDisappear(animated);
                        controller->viewDidAppear(animated);
                    }
                })
        .method(NavigationController::popViewControllerAnimated_,
                [](NavigationController* self, bool animated) -> ViewController* {
                    if (stack(self)->count() <= 1) {
                        return nullptr;
                    }
                    auto leaving = top(self)->retain()->autorelease();
                    const bool shown = onScreen(self);
                    if (shown) {
                        leaving->viewWillDisappear(animated);
                    }
                    stack(self)->removeLastObject();
                    leaving->setNavigationController(nullptr);
                    auto coming = top(self);
                    if (shown) {
                        coming->viewWillAppear(animated);
                        leaving->viewDidDisappear(animated);
                        coming->viewDidAppear(animated);
                    }
                    return leaving;
                })
        .method(NavigationController::popToRootViewControllerAnimated_,
                [](NavigationController* self, bool animated) -> NS::Array* {
                    auto popped = NS::MutableArray::array();
                    while (auto leaving = self->popViewController(animated)) {
                        popped->addObject(leaving);
                    }
                    return popped;
                })
        // The controllers of the stack appear and disappear with the navigation controller itself.
        .method(ViewController::viewWillAppear_,
                [](NavigationController* self, bool animated) {
                    ViewController::viewWillAppear_.super<NavigationController>(self, animated);
                    objc::setIvar<bool>(self, "_onScreen", true);
                    top(self)->view();
                    top(self)->viewWillAppear(animated);
                })
        .method(ViewController::viewDidAppear_,
                [](NavigationController* self, bool animated) {
                    ViewController::viewDidAppear_.super<NavigationController>(self, animated);
                    top(self)->viewDidAppear(animated);
                })
        .method(ViewController::viewWillDisappear_,
                [](NavigationController* self, bool animated) {
                    ViewController::viewWillDisappear_.super<NavigationController>(self, animated);
                    top(self)->viewWillDisappear(animated);
                    objc::setIvar<bool>(self, "_onScreen", false);
                })
        .method(ViewController::viewDidDisappear_,
                [](NavigationController* self, bool animated) {
                    ViewController::viewDidDisappear_.super<NavigationController>(self, animated);
                    top(self)->viewDidDisappear(animated);
                })
        .method(NS::Object::dealloc_,
                [](NavigationController* self) {
                    for (NS::Object* controller : stack(self)) {
                        reinterpret_cast<ViewController*>(controller)->setNavigationController(nullptr);
                    }
                    NS::Object::dealloc_.super<NavigationController>(self);
                })
        .build();
}

} // namespace
