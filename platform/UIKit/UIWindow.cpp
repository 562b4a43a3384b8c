#include "UIKit/UIWindow.hpp"
#include "UIKit/UIWindowInternals.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIAlertViewInternals.hpp"
#include "UIKit/UIApplication.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIViewController.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

CGRect boundsOf(View* view) {
    const CGRect f = view->frame();
    return CGRectMake(0, 0, f.size.width, f.size.height);
}

Window* init(Window* self) { return self->initWithFrame(Screen::mainScreen()->bounds()).as<Window>(); }

ViewController* rootViewController(Window* self) {
    return objc::ivar(self, UI::WindowInternals::_rootViewController);
}

StatusBar* statusBarOf(Window* self) { return objc::ivar(self, UI::WindowInternals::_statusBar); }

// The view of the controller that the root presents, in front of the root's, under the status bar.
void showPresented(Window* self) {
    auto root = self->rootViewController();
    objc::Ptr<ViewController> presented = root->presentedViewController();
    if (presented == nullptr) {
        return;
    }
    presented->view()->setFrame(boundsOf(self));
    self->addSubview(presented->view());
    if (auto bar = statusBarOf(self)) {
        self->addSubview(bar); // stays in front
    }
    if (AlertView* alert = visibleAlertView(); alert != nullptr && alert->superview() == self) {
        self->addSubview(alert); // over the status bar too
    }
}

void setRootViewController(Window* self, ViewController* controller) {
    objc::Ptr<ViewController> old = objc::ivar(self, UI::WindowInternals::_rootViewController);
    if (old == controller) {
        return;
    }
    if (old != nullptr && old->isViewLoaded()) {
        old->view()->removeFromSuperview();
    }
    objc::storeOwned(self, UI::WindowInternals::_rootViewController, controller);
    if (controller != nullptr) {
        View* view = controller->view();
        view->setFrame(boundsOf(self));
        self->addSubview(view);
        if (auto bar = statusBarOf(self)) {
            self->addSubview(bar); // stays in front
        }
        showPresented(self);
    }
}

void makeKeyAndVisible(Window* self) {
    if (statusBarOf(self) == nullptr) {
        auto bar =
            StatusBar::alloc()->initWithFrame(CGRectMake(0, 0, self->frame().size.width, kStatusBarHeight));
        objc::setIvar(self, UI::WindowInternals::_statusBar, bar.as<StatusBar>());
    }
    self->addSubview(statusBarOf(self));
    if (objc::ivar(self, UI::WindowInternals::_visible)) {
        return;
    }
    objc::setIvar(self, UI::WindowInternals::_visible, true);
    auto root = self->rootViewController();
    root->viewWillAppear(false);
    root->viewDidAppear(false);
}

View* initWithFrame(Window* self, CGRect frame) {
    auto window = View::initWithFrame_.super<Window>(self, frame);
    if (window != nullptr) {
        addWindowToLayOut(window);
    }
    return window;
}

void dealloc(Window* self) {
    removeWindowToLayOut(self);
    View::dealloc_.super<Window>(self);
}

// The root view fills the window; a controller the root presents covers it, under the status bar.
void layoutWindow(Window* self) {
    auto root = self->rootViewController();
    if (root == nullptr) {
        return;
    }
    root->view()->setFrame(boundsOf(self));
    if (objc::Ptr<ViewController> presented = root->presentedViewController()) {
        presented->view()->setFrame(boundsOf(self));
    }
    if (auto bar = statusBarOf(self)) {
        bar->setFrame(CGRectMake(0, 0, self->frame().size.width, kStatusBarHeight));
    }
}

// Carrier, time and battery, made once; the style of the moment decides their colour.
View* initStatusBar(StatusBar* self, CGRect frame) {
    auto bar = View::initWithFrame_.super<StatusBar>(self, frame);
    if (bar == nullptr) {
        return nullptr;
    }
    bar->addSubview(makeLabel("Carrier", "HelveticaNeue", 12, nullptr));
    bar->addSubview(makeLabel("9:41 AM", "HelveticaNeue-Medium", 12, nullptr));
    bar->addSubview(makeLabel("100%", "HelveticaNeue", 12, nullptr));
    return bar;
}

void layoutStatusBar(StatusBar* self) {
    const bool light = Application::sharedApplication()->statusBarStyle() == UIStatusBarStyleLightContent;
    Color* color = light ? colorRGB(255, 255, 255) : colorRGB(0, 0, 0);
    const double width = self->frame().size.width;
    auto labels = self->subviews();
    for (unsigned long i = 0; i < labels->count(); ++i) {
        auto label = labels->objectAtIndex(i).as<Label>();
        label->setTextColor(color);
        CGRect f = label->frame();
        f.origin.x = i == 0 ? 6 : i == 1 ? (width - f.size.width) / 2 : width - 6 - f.size.width;
        f.origin.y = (kStatusBarHeight - f.size.height) / 2;
        label->setFrame(f);
    }
}

} // namespace

void showPresentedViewInWindow(ViewController* presenter) {
    if (presenter == nullptr || !presenter->isViewLoaded()) {
        return;
    }
    objc::Ptr<View> top = presenter->view();
    while (top->superview() != nullptr) {
        top = top->superview();
    }
    if (auto window = NS::cast<Window>(top.get());
        window != nullptr && window->rootViewController() == presenter) {
        showPresented(window);
    }
}

void statusBarStyleChanged() {
    for (View* window : windowsToLayOut()) {
        objc::Ptr(statusBarOf(reinterpret_cast<Window*>(window)))->setNeedsLayout();
    }
}

namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Window>()
        .ivar(WindowInternals::_rootViewController)
        .ivar(WindowInternals::_statusBar)
        .ivar(WindowInternals::_visible)
        .method<&init>(Window::init_)
        .method<&rootViewController>(Window::rootViewController_)
        .method<&setRootViewController>(Window::setRootViewController_)
        .method<&makeKeyAndVisible>(Window::makeKeyAndVisible_)
        .method<&initWithFrame>(View::initWithFrame_)
        .method<&dealloc>(View::dealloc_)
        .method<&layoutWindow>(View::layoutSubviews_)
        .build();

    objc::ClassDefinition<StatusBar>()
        .method<&initStatusBar>(View::initWithFrame_)
        .method<&layoutStatusBar>(View::layoutSubviews_)
        .build();
}

} // namespace
} // namespace UI
