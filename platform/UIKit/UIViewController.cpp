#include "UIKit/UIViewController.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UINavigationController.hpp"
#include "UIKit/UINavigationItem.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

// A view made by the default loadView fills a phone screen in portrait.
constexpr CGRect kScreenBounds = {{0, 0}, {320, 568}};

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ViewController>()
        // setView: keeps the view; the getter below makes it on first use.
        .property<View*>("view")
        .ivar<NS::Object*>("_title", objc::Ownership::Owning)
        .ivar<NS::Object*>("_navigationItem", objc::Ownership::Owning)
        // Set by the navigation controller that holds this one; not owning, as the holder owns us.
        .property<NavigationController*>("navigationController", objc::Ownership::Plain)
        .method(ViewController::view_,
                [](ViewController* self) -> View* {
                    if (objc::ivar<View*>(self, "_view") == nullptr) {
                        self->loadView();
                        self->viewDidLoad();
                    }
                    return objc::ivar<View*>(self, "_view");
                })
        .method(ViewController::isViewLoaded_,
                [](ViewController* self) -> bool { return objc::ivar<View*>(self, "_view") != nullptr; })
        .method(ViewController::loadView_,
                [](ViewController* self) {
                    self->setView(objc::adopt(View::alloc()->initWithFrame(kScreenBounds)));
                })
        .method(ViewController::viewDidLoad_, [](ViewController*) {})
        .method(ViewController::viewWillAppear_, [](ViewController*, bool) {})
        .method(ViewController::viewDidAppear_, [](ViewController*, bool) {})
        .method(ViewController::viewWillDisappear_, [](ViewController*, bool) {})
        .method(ViewController::viewDidDisappear_, [](ViewController*, bool) {})
        .method(ViewController::title_,
                [](ViewController* self) -> NS::String* { return objc::ivar<NS::String*>(self, "_title"); })
        .method(ViewController::setTitle_,
                [](ViewController* self, NS::String* title) {
                    auto copy = objc::Ptr(title)->copy().as<NS::String>();
                    objc::Ptr<NS::Object> old = objc::ivar<NS::Object*>(self, "_title");
                    objc::setIvar<NS::String*>(self, "_title", copy);
                    old->release();
                    self->navigationItem()->setTitle(copy);
                })
        .method(ViewController::navigationItem_,
                [](ViewController* self) -> NavigationItem* {
                    auto item = objc::ivar<NavigationItem*>(self, "_navigationItem");
                    if (item == nullptr) {
                        item =
                            NavigationItem::alloc()->initWithTitle(objc::ivar<NS::String*>(self, "_title"));
                        objc::setIvar<NavigationItem*>(self, "_navigationItem", item);
                    }
                    return item;
                })
        .build();
}

} // namespace
} // namespace UI
