#include "UIKit/UIViewController.hpp"

#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

// A view made by the default loadView fills a phone screen in portrait.
constexpr CGRect kScreenBounds = {{0, 0}, {320, 568}};

void loadView(id self, SEL) {
    id view = objc::send<id>(objc::send<id>(objc_lookUpClass("UIView"), "alloc"_sel), "initWithFrame:"_sel,
                             kScreenBounds);
    objc::send(self, "setView:"_sel, view);
    objc::send(view, "release"_sel);
}

id view(id self, SEL) {
    if (objc::ivar<id>(self, "_view") == nil) {
        objc::send(self, "loadView"_sel);
        objc::send(self, "viewDidLoad"_sel);
    }
    return objc::ivar<id>(self, "_view");
}

bool isViewLoaded(id self, SEL) { return objc::ivar<id>(self, "_view") != nil; }

void lifeCycleStep(id, SEL) {}
void appearanceStep(id, SEL, bool) {}

void setView(id self, SEL, id view) {
    objc::send<id>(view, "retain"_sel);
    objc::send(objc::ivar<id>(self, "_view"), "release"_sel);
    objc::setIvar<id>(self, "_view", view);
}

id title(id self, SEL) { return objc::ivar<id>(self, "_title"); }

void setTitle(id self, SEL, id title) {
    id copy = objc::send<id>(title, "copy"_sel);
    id old = objc::ivar<id>(self, "_title");
    objc::setIvar<id>(self, "_title", copy);
    objc::send(old, "release"_sel);
    objc::send(objc::send<id>(self, "navigationItem"_sel), "setTitle:"_sel, copy);
}

id navigationItem(id self, SEL) {
    id item = objc::ivar<id>(self, "_navigationItem");
    if (item == nil) {
        item = objc::send<id>(objc::send<id>(objc_lookUpClass("UINavigationItem"), "alloc"_sel),
                              "initWithTitle:"_sel, objc::ivar<id>(self, "_title"));
        objc::setIvar<id>(self, "_navigationItem", item);
    }
    return item;
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UIViewController", "NSObject")
        .ivar<id>("_view", objc::Ownership::Owning)
        .ivar<id>("_title", objc::Ownership::Owning)
        .ivar<id>("_navigationItem", objc::Ownership::Owning)
        // Set by the navigation controller that holds this one; not owning, as the holder owns us.
        .property<id>("navigationController", objc::Ownership::Plain)
        .method<&view>("view")
        .method<&setView>("setView:")
        .method<&title>("title")
        .method<&isViewLoaded>("isViewLoaded")
        .method<&loadView>("loadView")
        .method<&lifeCycleStep>("viewDidLoad")
        .method<&appearanceStep>("viewWillAppear:")
        .method<&appearanceStep>("viewDidAppear:")
        .method<&appearanceStep>("viewWillDisappear:")
        .method<&appearanceStep>("viewDidDisappear:")
        .method<&setTitle>("setTitle:")
        .method<&navigationItem>("navigationItem")
        .build();
}

} // namespace
