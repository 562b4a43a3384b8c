#include "UIKit/UIWindow.hpp"

#include "Foundation/NSArray.hpp"
#include "UIKit/UIApplication.hpp"
#include "UIKit/UIDisplay.hpp"
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

ViewController* rootViewController(Window* self) { return objc::ivar(self, UI::Window::_rootViewController); }

void setRootViewController(Window* self, ViewController* controller) {
    objc::Ptr<ViewController> old = objc::ivar(self, UI::Window::_rootViewController);
    if (old == controller) {
        return;
    }
    if (old != nullptr && old->isViewLoaded()) {
        old->view()->removeFromSuperview();
    }
    objc::Ptr(controller)->retain();
    objc::setIvar(self, UI::Window::_rootViewController, controller);
    old->release();
    if (controller != nullptr) {
        View* view = controller->view();
        view->setFrame(boundsOf(self));
        self->addSubview(view);
        if (auto bar = objc::ivar(self, UI::Window::_statusBar)) {
            self->addSubview(bar); // stays in front
        }
    }
}

void makeKeyAndVisible(Window* self) {
    if (objc::ivar(self, UI::Window::_statusBar) == nullptr) {
        auto bar =
            StatusBar::alloc()->initWithFrame(CGRectMake(0, 0, self->frame().size.width, kStatusBarHeight));
        objc::setIvar(self, UI::Window::_statusBar, bar.as<StatusBar>());
    }
    self->addSubview(objc::ivar(self, UI::Window::_statusBar));
    if (objc::ivar(self, UI::Window::_visible)) {
        return;
    }
    objc::setIvar(self, UI::Window::_visible, true);
    auto root = self->rootViewController();
    root->viewWillAppear(false);
    root->viewDidAppear(false);
}

// The root view fills the window; a controller the root presents covers it, under the
// status bar.
void prepareWindow(Window* self) {
    auto root = self->rootViewController();
    if (root == nullptr) {
        return;
    }
    root->view()->setFrame(boundsOf(self));
    objc::Ptr<ViewController> presented = root->presentedViewController();
    for (NS::Object* child : self->subviews()) {
        auto view = reinterpret_cast<View*>(child);
        if (view != root->view() && !view->isKindOf<StatusBar>() &&
            (presented == nullptr || view != presented->view())) {
            view->removeFromSuperview();
        }
    }
    if (presented != nullptr) {
        presented->view()->setFrame(boundsOf(self));
        self->addSubview(presented->view());
    }
    if (auto bar = objc::ivar(self, UI::Window::_statusBar)) {
        bar->setFrame(CGRectMake(0, 0, self->frame().size.width, kStatusBarHeight));
        self->addSubview(bar);
    }
}

void prepareStatusBar(StatusBar* self) {
    for (NS::Object* child : self->subviews()) {
        reinterpret_cast<View*>(child)->removeFromSuperview();
    }
    const bool light = Application::sharedApplication()->statusBarStyle() == UIStatusBarStyleLightContent;
    Color* color = light ? colorRGB(255, 255, 255) : colorRGB(0, 0, 0);
    const double width = self->frame().size.width;
    auto place = [&](const char* text, const char* font, int where) {
        View* label = makeLabel(text, font, 12, color);
        CGRect f = label->frame();
        f.origin.x = where < 0 ? 6 : where == 0 ? (width - f.size.width) / 2 : width - 6 - f.size.width;
        f.origin.y = (kStatusBarHeight - f.size.height) / 2;
        label->setFrame(f);
        self->addSubview(label);
    };
    place("Carrier", "HelveticaNeue", -1);
    place("9:41 AM", "HelveticaNeue-Medium", 0);
    place("100%", "HelveticaNeue", 1);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<Window>()
        .ivar(Window::_rootViewController)
        .ivar(Window::_statusBar)
        .ivar(Window::_visible)
        .method<&init>(Window::init_)
        .method<&rootViewController>(Window::rootViewController_)
        .method<&setRootViewController>(Window::setRootViewController_)
        .method<&makeKeyAndVisible>(Window::makeKeyAndVisible_)
        .method<&prepareWindow>(Display::prepare_)
        .build();

    objc::ClassDefinition<StatusBar>().method<&prepareStatusBar>(Display::prepare_).build();
}

} // namespace
} // namespace UI
