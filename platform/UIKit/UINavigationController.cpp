#include "UIKit/UINavigationController.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "UIKit/UINavigationBarInternals.hpp"
#include "UIKit/UINavigationControllerInternals.hpp"
#include "UIKit/UIViewControllerInternals.hpp"
#include "UIKit/UIWindowInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UINavigationBar.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIView.hpp"
#include "UIKit/UIWindow.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using UI::NavigationController;
using UI::NavigationControllerInternals;
using UI::ViewController;

objc::Ptr<NS::MutableArray> stack(NavigationController* self) {
    return objc::ivar(self, UI::NavigationControllerInternals::_stack);
}
objc::Ptr<ViewController> top(NavigationController* self) {
    return stack(self)->lastObject().as<ViewController>();
}
bool onScreen(NavigationController* self) {
    return objc::ivar(self, UI::NavigationControllerInternals::_onScreen);
}

// The navigation controller's view, and the view that holds its top controller's view: the names
// the device gives them.
class ContainerView : public NS::Referencing<ContainerView, "UILayoutContainerView", UI::View> {};
class TransitionView : public NS::Referencing<TransitionView, "UINavigationTransitionView", UI::View> {};

CGRect boundsOf(UI::View* view) {
    const CGRect f = view->frame();
    return CGRectMake(0, 0, f.size.width, f.size.height);
}

// The container of `self` and those of the navigation controllers holding it lay out again: what
// they show (the top view, the bar's items) hangs on the stacks below them.
void containersNeedLayout(NavigationController* self) {
    for (objc::Ptr<ViewController> c = self; c != nullptr; c = c->navigationController()) {
        if (c->isViewLoaded()) {
            c->view()->setNeedsLayout();
        }
    }
}

// The transition view holds the top controller's view alone: what a push or a pop changes.
void showTop(NavigationController* self) {
    containersNeedLayout(self);
    if (!self->isViewLoaded()) {
        return;
    }
    objc::Ptr<UI::View> transition = objc::ivar(self, UI::NavigationControllerInternals::_transitionView);
    auto shown = top(self);
    for (NS::Object* child : transition->subviews()) {
        if (child != shown->view()) {
            reinterpret_cast<UI::View*>(child)->removeFromSuperview();
        }
    }
    if (shown != nullptr && shown->view()->superview() != transition) {
        shown->view()->setFrame(boundsOf(transition));
        transition->addSubview(shown->view());
    }
}

// The items of the stack, for the bar. A navigation controller held here with its own bar hidden
// shows its stack on this bar, so that the back button names the controller that going back shows.
objc::Ptr<NS::Array> barItems(NavigationController* controller) {
    auto items = NS::MutableArray::array();
    for (NS::Object* c : stack(controller)) {
        auto held = NS::cast<NavigationController>(c);
        if (held != nullptr && held->isNavigationBarHidden()) {
            for (NS::Object* inner : stack(held)) {
                items->addObject(reinterpret_cast<ViewController*>(inner)->navigationItem());
            }
        } else {
            items->addObject(reinterpret_cast<ViewController*>(c)->navigationItem());
        }
    }
    return items.as<NS::Array>();
}

// The bar under the status bar (when the view starts at the screen's top) showing the stack's items,
// and the top controller's view below the bar.
void layoutContainer(ContainerView* self) {
    auto controller = NS::cast<NavigationController>(UI::controllerOfView(self));
    if (controller == nullptr) {
        return;
    }
    const CGSize size = self->frame().size;
    auto bar = controller->navigationBar();
    const bool hidden = controller->isNavigationBarHidden();
    const double barTop = UI::originInWindow(self).y < UI::kStatusBarHeight ? UI::kStatusBarHeight : 0;
    bar->setFrame(CGRectMake(0, barTop, size.width, UI::kNavigationBarHeight));
    auto items = barItems(controller);
    if (!items->isEqualToArray(bar->items())) {
        bar->setItems(items, false);
    }

    const double contentTop = hidden ? 0 : barTop + UI::kNavigationBarHeight;
    objc::Ptr<UI::View> transition =
        objc::ivar(controller, UI::NavigationControllerInternals::_transitionView);
    transition->setFrame(CGRectMake(0, contentTop, size.width, size.height - contentTop));
    if (auto shown = top(controller)) {
        shown->view()->setFrame(boundsOf(transition));
    }
}

bool isNavigationBarHidden(NavigationController* self) { return self->navigationBar()->isHidden(); }

void setNavigationBarHidden(NavigationController* self, bool hidden) {
    self->setNavigationBarHidden(hidden, false);
}

void setNavigationBarHiddenAnimated(NavigationController* self, bool hidden, bool) {
    self->navigationBar()->setHidden(hidden);
    containersNeedLayout(self);
}

void loadView(NavigationController* self) {
    auto view = ContainerView::alloc()->initWithFrame(UI::Screen::mainScreen()->bounds());
    auto transition = TransitionView::alloc()->initWithFrame(boundsOf(view));
    view->addSubview(transition);
    view->addSubview(self->navigationBar());
    objc::setIvar(self, UI::NavigationControllerInternals::_transitionView, transition);
    self->setView(view);
    view->release();
    showTop(self);
}

NavigationController* init(NavigationController* self) {
    auto controller = NavigationController::init_.super<NavigationController>(self);
    if (controller == nullptr) {
        return nullptr;
    }
    objc::setIvar(controller, UI::NavigationControllerInternals::_stack, NS::MutableArray::alloc()->init());
    objc::setIvar(controller, NavigationControllerInternals::_navigationBar,
                  UI::NavigationBar::alloc()
                      ->initWithFrame(CGRectMake(0, 0, UI::Screen::mainScreen()->bounds().size.width,
                                                 UI::kNavigationBarHeight))
                      .as<UI::NavigationBar>());
    return controller;
}

NavigationController* initWithRootViewController(NavigationController* self, ViewController* root) {
    auto controller = self->init();
    controller->pushViewController(root, false);
    return controller;
}

NS::Array* viewControllers(NavigationController* self) {
    return stack(self)->copy()->autorelease().as<NS::Array>();
}

ViewController* topViewController(NavigationController* self) { return top(self); }

void pushViewControllerAnimated(NavigationController* self, ViewController* controller, bool animated) {
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
    showTop(self);
    if (shown) {
        controller->view();
        controller->viewWillAppear(animated);
        leaving->viewDidDisappear(animated);
        controller->viewDidAppear(animated);
    }
}

ViewController* popViewControllerAnimated(NavigationController* self, bool animated) {
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
    showTop(self);
    auto coming = top(self);
    if (shown) {
        coming->viewWillAppear(animated);
        leaving->viewDidDisappear(animated);
        coming->viewDidAppear(animated);
    }
    return leaving;
}

NS::Array* popToRootViewControllerAnimated(NavigationController* self, bool animated) {
    auto popped = NS::MutableArray::array();
    while (auto leaving = self->popViewController(animated)) {
        popped->addObject(leaving);
    }
    return popped;
}

// The controllers of the stack appear and disappear with the navigation controller itself.
void viewWillAppear(NavigationController* self, bool animated) {
    ViewController::viewWillAppear_.super<NavigationController>(self, animated);
    objc::setIvar(self, UI::NavigationControllerInternals::_onScreen, true);
    top(self)->view();
    top(self)->viewWillAppear(animated);
}

void viewDidAppear(NavigationController* self, bool animated) {
    ViewController::viewDidAppear_.super<NavigationController>(self, animated);
    top(self)->viewDidAppear(animated);
}

void viewWillDisappear(NavigationController* self, bool animated) {
    ViewController::viewWillDisappear_.super<NavigationController>(self, animated);
    top(self)->viewWillDisappear(animated);
    objc::setIvar(self, UI::NavigationControllerInternals::_onScreen, false);
}

void viewDidDisappear(NavigationController* self, bool animated) {
    ViewController::viewDidDisappear_.super<NavigationController>(self, animated);
    top(self)->viewDidDisappear(animated);
}

void dealloc(NavigationController* self) {
    for (NS::Object* controller : stack(self)) {
        reinterpret_cast<ViewController*>(controller)->setNavigationController(nullptr);
    }
    NS::Object::dealloc_.super<NavigationController>(self);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<TransitionView>().build();
    objc::ClassDefinition<ContainerView>().method<&layoutContainer>(UI::View::layoutSubviews_).build();

    objc::ClassDefinition<NavigationController>()
        .ivar(NavigationControllerInternals::_stack)
        .ivar(NavigationControllerInternals::_onScreen)
        .ivar(NavigationControllerInternals::_transitionView)
        .property(NavigationControllerInternals::_navigationBar)
        .method<&isNavigationBarHidden>(NavigationController::isNavigationBarHidden_)
        .method<&setNavigationBarHidden>(NavigationController::setNavigationBarHidden_)
        .method<&setNavigationBarHiddenAnimated>(NavigationController::setNavigationBarHiddenAnimated_)
        .method<&loadView>(ViewController::loadView_)
        .method<&init>(NavigationController::init_)
        .method<&initWithRootViewController>(NavigationController::initWithRootViewController_)
        .method<&viewControllers>(NavigationController::viewControllers_)
        .method<&topViewController>(NavigationController::topViewController_)
        .method<&pushViewControllerAnimated>(NavigationController::pushViewControllerAnimated_)
        .method<&popViewControllerAnimated>(NavigationController::popViewControllerAnimated_)
        .method<&popToRootViewControllerAnimated>(NavigationController::popToRootViewControllerAnimated_)
        .method<&viewWillAppear>(ViewController::viewWillAppear_)
        .method<&viewDidAppear>(ViewController::viewDidAppear_)
        .method<&viewWillDisappear>(ViewController::viewWillDisappear_)
        .method<&viewDidDisappear>(ViewController::viewDidDisappear_)
        .method<&dealloc>(NS::Object::dealloc_)
        .build();
}

} // namespace
