#include "UIKit/UIViewController.hpp"
#include "UIKit/UIViewControllerInternals.hpp"
#include "UIKit/UIWindowInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/UIDevice.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIView.hpp"
#include "UIKit/UIWindow.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <unordered_map>

namespace UI {
namespace {

// Which controller each loaded view belongs to, for what asks a view for its controller (appearance
// proxies matched by container). Main thread only, as views are.
std::unordered_map<const void*, ViewController*>& owners() {
    static auto* map = new std::unordered_map<const void*, ViewController*>();
    return *map;
}

// The controller that presents on behalf of `self`: the outermost of the navigation controllers
// that hold it, as a full-screen presentation covers them all.
objc::Ptr<ViewController> presenterFor(ViewController* self) {
    objc::Ptr<ViewController> presenter = self;
    while (auto holder = presenter->navigationController()) {
        presenter = holder;
    }
    return presenter;
}

void runCompletion(NS::Block* completion) {
    if (completion != nullptr) {
        completion->invoke<void>();
    }
}

void setView(ViewController* self, View* view) {
    objc::Ref<View> keep = objc::retain(view);
    objc::Ptr<View> old = objc::ivar(self, ViewControllerInternals::_view);
    if (old == view) {
        return;
    }
    if (old != nullptr) {
        owners().erase(old.get());
    }
    objc::storeOwned(self, ViewControllerInternals::_view, view);
    if (view != nullptr) {
        owners()[view] = self;
    }
}

void presentViewControllerAnimatedCompletion(ViewController* self, ViewController* controller, bool animated,
                                             NS::Block* completion) {
    auto presenter = presenterFor(self);
    if (controller == nullptr || presenter->presentedViewController() != nullptr ||
        controller->presentingViewController() != nullptr) {
        return;
    }
    const bool covers = presentationRemovesPresenter(controller->modalPresentationStyle(), CF::deviceFacts());
    if (covers) {
        presenter->viewWillDisappear(animated);
    }
    presenter->setPresentedViewController(controller);
    controller->setPresentingViewController(presenter);
    controller->view();
    showPresentedViewInWindow(presenter);
    controller->viewWillAppear(animated);
    if (covers) {
        presenter->viewDidDisappear(animated);
    }
    controller->viewDidAppear(animated);
    runCompletion(completion);
}

void dismissViewControllerAnimatedCompletion(ViewController* self, bool animated, NS::Block* completion) {
    // Sent to the presented controller itself, it is passed to its presenter.
    auto presenter = self->presentingViewController() != nullptr &&
                             presenterFor(self)->presentedViewController() == nullptr
                         ? self->presentingViewController()
                         : presenterFor(self);
    objc::Ref<ViewController> presented = objc::retain(presenter->presentedViewController());
    if (presented == nullptr) {
        runCompletion(completion);
        return;
    }
    const bool covered = presentationRemovesPresenter(presented->modalPresentationStyle(), CF::deviceFacts());
    presented->viewWillDisappear(animated);
    if (covered) {
        presenter->viewWillAppear(animated);
    }
    presenter->setPresentedViewController(nullptr);
    presented->setPresentingViewController(nullptr);
    if (presented->isViewLoaded() && NS::cast<Window>(presented->view()->superview()) != nullptr) {
        presented->view()->removeFromSuperview();
    }
    presented->viewDidDisappear(animated);
    if (covered) {
        presenter->viewDidAppear(animated);
    }
    runCompletion(completion);
}

void dealloc(ViewController* self) {
    owners().erase(objc::ivar(self, ViewControllerInternals::_view));
    NS::Object::dealloc_.super<ViewController>(self);
}

View* view(ViewController* self) {
    if (objc::ivar(self, ViewControllerInternals::_view) == nullptr) {
        self->loadView();
        self->viewDidLoad();
    }
    return objc::ivar(self, ViewControllerInternals::_view);
}

bool isViewLoaded(ViewController* self) {
    return objc::ivar(self, ViewControllerInternals::_view) != nullptr;
}

void loadView(ViewController* self) {
    self->setView(objc::adopt(View::alloc()->initWithFrame(Screen::mainScreen()->bounds())));
}

void viewDidLoad(ViewController*) {}

void viewWillAppear(ViewController*, bool) {}

void viewDidAppear(ViewController*, bool) {}

void viewWillDisappear(ViewController*, bool) {}

void viewDidDisappear(ViewController*, bool) {}

NS::String* title(ViewController* self) { return objc::ivar(self, UI::ViewControllerInternals::_title); }

void setTitle(ViewController* self, NS::String* title) {
    auto copy = objc::Ptr(title)->copy().as<NS::String>();
    objc::Ptr<NS::Object> old = objc::ivar(self, UI::ViewControllerInternals::_title);
    objc::setIvar(self, UI::ViewControllerInternals::_title, copy);
    old->release();
    self->navigationItem()->setTitle(copy);
}

NavigationItem* navigationItem(ViewController* self) {
    auto item = objc::ivar(self, UI::ViewControllerInternals::_navigationItem);
    if (item == nullptr) {
        item = NavigationItem::alloc()->initWithTitle(objc::ivar(self, UI::ViewControllerInternals::_title));
        objc::setIvar(self, UI::ViewControllerInternals::_navigationItem, item);
    }
    return item;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ViewController>()
        // setView: keeps the view; the getter below makes it on first use.
        .property(ViewControllerInternals::_view)
        .ivar(ViewControllerInternals::_title)
        .ivar(ViewControllerInternals::_navigationItem)
        // Set by the navigation controller that holds this one; not owning, as the holder owns us.
        .property<NavigationController*>("navigationController", objc::Ownership::Plain)
        // What this controller presents (owned), and, on a presented one, who presents it.
        .property<ViewController*>("presentedViewController")
        .property<ViewController*>("presentingViewController", objc::Ownership::Plain)
        .property<long>("modalPresentationStyle")
        .method<&setView>(ViewController::setView_)
        .method<&presentViewControllerAnimatedCompletion>(
            ViewController::presentViewControllerAnimatedCompletion_)
        .method<&dismissViewControllerAnimatedCompletion>(
            ViewController::dismissViewControllerAnimatedCompletion_)
        .method<&dealloc>(NS::Object::dealloc_)
        .method<&view>(ViewController::view_)
        .method<&isViewLoaded>(ViewController::isViewLoaded_)
        .method<&loadView>(ViewController::loadView_)
        .method<&viewDidLoad>(ViewController::viewDidLoad_)
        .method<&viewWillAppear>(ViewController::viewWillAppear_)
        .method<&viewDidAppear>(ViewController::viewDidAppear_)
        .method<&viewWillDisappear>(ViewController::viewWillDisappear_)
        .method<&viewDidDisappear>(ViewController::viewDidDisappear_)
        .method<&title>(ViewController::title_)
        .method<&setTitle>(ViewController::setTitle_)
        .method<&navigationItem>(ViewController::navigationItem_)
        .build();
}

} // namespace

bool presentationRemovesPresenter(long style, const CF::DeviceFacts& device) {
    const bool pad = device.idiom == UIUserInterfaceIdiomPad;
    switch (style) {
    case ModalPresentationCustom:
    case ModalPresentationOverFullScreen:
    case ModalPresentationOverCurrentContext:
        // Shown over the presenter's content, which stays under it.
        return false;
    case ModalPresentationPageSheet:
    case ModalPresentationFormSheet:
        // A sheet over the dimmed presenter on a pad, and from 13.0 a card over it on a phone too;
        // before that, on a phone, it fills the screen.
        return !pad && device.coreFoundationVersion < CF::release::iOS13_0;
    case ModalPresentationPopover:
        // Beside what it points at on a pad; full screen on a phone.
        return !pad;
    default:
        // Full screen, or in place of the presenter's context.
        return true;
    }
}

ViewController* controllerOfView(const View* view) {
    auto found = owners().find(view);
    return found != owners().end() ? found->second : nullptr;
}

} // namespace UI
