// UIViewController: manages one screen's view and takes part in the appearance life cycle.
#pragma once

#include "Foundation/NSObject.hpp"

namespace CF {
struct DeviceFacts;
} // namespace CF

namespace NS {
class Block;
class String;
} // namespace NS

namespace UI {

class View;
class NavigationItem;
class NavigationController;

// UIModalPresentationStyle. Whether the presenter leaves the screen depends on it (see
// presentationRemovesPresenter): a full-screen presentation takes it off; a custom one (an alert's,
// the share sheet's) shows over it, the presenter staying; a sheet does either, by device.
enum ModalPresentationStyle : long {
    ModalPresentationFullScreen = 0,
    ModalPresentationPageSheet = 1,
    ModalPresentationFormSheet = 2,
    ModalPresentationCurrentContext = 3,
    ModalPresentationCustom = 4,
    // iOS 8.0 and later.
    ModalPresentationOverFullScreen = 5,
    ModalPresentationOverCurrentContext = 6,
    ModalPresentationPopover = 7,
};

class GLINTMERE_EXPORT ViewController : public NS::Referencing<ViewController, "UIViewController"> {
  public:
    // The view, made on first use: `loadView` and then `viewDidLoad`, once.
    OBJC_MESSAGE(view, "view", View*())
    OBJC_MESSAGE(setView, "setView:", void(View*))
    OBJC_MESSAGE(isViewLoaded, "isViewLoaded", bool())
    OBJC_MESSAGE(loadView, "loadView", void())
    OBJC_MESSAGE(viewDidLoad, "viewDidLoad", void())
    OBJC_MESSAGE(viewWillAppear, "viewWillAppear:", void(bool))
    OBJC_MESSAGE(viewDidAppear, "viewDidAppear:", void(bool))
    OBJC_MESSAGE(viewWillDisappear, "viewWillDisappear:", void(bool))
    OBJC_MESSAGE(viewDidDisappear, "viewDidDisappear:", void(bool))

    OBJC_MESSAGE(title, "title", NS::String*())
    // Also the title of the controller's navigation item.
    OBJC_MESSAGE(setTitle, "setTitle:", void(NS::String*))
    // Made on first use and kept; carries the title.
    OBJC_MESSAGE(navigationItem, "navigationItem", NavigationItem*())
    // The navigation controller whose stack holds this controller; nil when none does.
    OBJC_MESSAGE(navigationController, "navigationController", NavigationController*())
    // Set by the navigation controller that takes this one on its stack.
    OBJC_MESSAGE(setNavigationController, "setNavigationController:", void(NavigationController*))

    // Shows `controller` over this one's screen: this one (and what it holds) is told it will
    // disappear (where `controller`'s style takes it off the screen), the presented one that it will
    // appear; then `completion` (a void() block, or nil) runs. Nothing happens while this one
    // already presents another.
    OBJC_MESSAGE_NAMED(presentViewController, presentViewControllerAnimatedCompletion_,
                       "presentViewController:animated:completion:", void(ViewController*, bool, NS::Block*))
    // Takes down what this controller presents (or, sent to the presented one, itself), with the
    // appearance calls the other way round; then `completion` runs.
    OBJC_MESSAGE_NAMED(dismissViewController, dismissViewControllerAnimatedCompletion_,
                       "dismissViewControllerAnimated:completion:", void(bool, NS::Block*))
    // How this controller is shown when presented; full screen unless set.
    OBJC_MESSAGE(modalPresentationStyle, "modalPresentationStyle", long())
    OBJC_MESSAGE(setModalPresentationStyle, "setModalPresentationStyle:", void(long))
    OBJC_MESSAGE(presentedViewController, "presentedViewController", ViewController*())
    OBJC_MESSAGE(presentingViewController, "presentingViewController", ViewController*())
    // Kept by presentation and dismissal; not for apps.
    OBJC_MESSAGE(setPresentedViewController, "setPresentedViewController:", void(ViewController*))
    OBJC_MESSAGE(setPresentingViewController, "setPresentingViewController:", void(ViewController*))
};

} // namespace UI
