// UIViewController: manages one screen's view and takes part in the appearance life cycle.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class View;
class NavigationItem;
class NavigationController;

class GLINTMERE_EXPORT ViewController : public NS::Referencing<ViewController, "UIViewController"> {
  public:
    // The view, made on first use: `loadView` and then `viewDidLoad`, once.
    View* view() { return objc::send<View*>(this, objc::Selector<"view">()); }
    void setView(View* view) { objc::send<void>(this, objc::Selector<"setView:">(), view); }
    bool isViewLoaded() { return objc::send<bool>(this, objc::Selector<"isViewLoaded">()); }
    void loadView() { objc::send<void>(this, objc::Selector<"loadView">()); }
    void viewDidLoad() { objc::send<void>(this, objc::Selector<"viewDidLoad">()); }
    void viewWillAppear(bool animated) {
        objc::send<void>(this, objc::Selector<"viewWillAppear:">(), animated);
    }
    void viewDidAppear(bool animated) {
        objc::send<void>(this, objc::Selector<"viewDidAppear:">(), animated);
    }
    void viewWillDisappear(bool animated) {
        objc::send<void>(this, objc::Selector<"viewWillDisappear:">(), animated);
    }
    void viewDidDisappear(bool animated) {
        objc::send<void>(this, objc::Selector<"viewDidDisappear:">(), animated);
    }

    NS::String* title() { return objc::send<NS::String*>(this, objc::Selector<"title">()); }
    // Also the title of the controller's navigation item.
    void setTitle(NS::String* title) { objc::send<void>(this, objc::Selector<"setTitle:">(), title); }
    // Made on first use and kept; carries the title.
    NavigationItem* navigationItem() {
        return objc::send<NavigationItem*>(this, objc::Selector<"navigationItem">());
    }
    // The navigation controller whose stack holds this controller; nil when none does.
    NavigationController* navigationController() {
        return objc::send<NavigationController*>(this, objc::Selector<"navigationController">());
    }
};

} // namespace UI
