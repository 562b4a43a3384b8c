#include "UIKit/UIView.hpp"

#include "Foundation/NSArray.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

// Subviews are kept in an NSMutableArray made on first use; the superview link is not owning.
objc::Ptr<NS::MutableArray> subviewList(View* self) {
    return objc::ivar<NS::MutableArray*>(self, "_subviews");
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<View>()
        .ivar<CGRect>("_frame")
        .ivar<CGFloat>("_alpha")
        .ivar<NS::MutableArray*>("_subviews", objc::Ownership::Owning)
        .ivar<View*>("_superview")
        .property<bool>("hidden")
        .property<NS::Object*>("backgroundColor")
        .method(View::init_, [](View* self) -> View* { return self->initWithFrame(CGRectZero); })
        .method(View::initWithFrame_,
                [](View* self, CGRect frame) -> View* {
                    auto view = View::init_.super<View>(self);
                    if (view == nullptr) {
                        return nullptr;
                    }
                    objc::setIvar(view, "_frame", frame);
                    objc::setIvar<CGFloat>(view, "_alpha", 1.0);
                    return view;
                })
        .method(View::frame_, [](View* self) -> CGRect { return objc::ivar<CGRect>(self, "_frame"); })
        .method(View::setFrame_, [](View* self, CGRect frame) { objc::setIvar(self, "_frame", frame); })
        .method(View::bounds_,
                [](View* self) -> CGRect {
                    const CGRect f = self->frame();
                    return CGRectMake(0, 0, f.size.width, f.size.height);
                })
        .method(View::alpha_, [](View* self) -> CGFloat { return objc::ivar<CGFloat>(self, "_alpha"); })
        // Alpha is a fraction of opacity: values outside [0, 1] are clamped, as on the device.
        .method(View::setAlpha_,
                [](View* self, CGFloat alpha) {
                    objc::setIvar<CGFloat>(self, "_alpha", alpha < 0 ? 0 : (alpha > 1 ? 1 : alpha));
                })
        .method(View::isHidden_, [](View* self) -> bool { return objc::ivar<bool>(self, "_hidden"); })
        .method(View::subviews_,
                [](View* self) -> NS::Array* {
                    auto list = subviewList(self);
                    if (list == nullptr) {
                        return NS::Array::array();
                    }
                    return list->copy()->autorelease().as<NS::Array>();
                })
        .method(View::superview_, [](View* self) -> View* { return objc::ivar<View*>(self, "_superview"); })
        .method(View::removeFromSuperview_,
                [](View* self) {
                    auto parent = objc::ivar<View*>(self, "_superview");
                    if (parent == nullptr) {
                        return;
                    }
                    objc::setIvar<View*>(self, "_superview", nullptr);
                    // The parent's list holds the only ownership the tree has of `self`.
                    subviewList(parent)->removeObject(self);
                })
        .method(View::addSubview_,
                [](View* self, View* view) {
                    if (view == nullptr || view == self) {
                        return;
                    }
                    objc::Ref<View> keep = objc::retain(view);
                    view->removeFromSuperview();
                    auto list = subviewList(self);
                    if (list == nullptr) {
                        list = NS::MutableArray::alloc()->init();
                        objc::setIvar<NS::MutableArray*>(self, "_subviews", list);
                    }
                    list->addObject(view);
                    objc::setIvar<View*>(view, "_superview", self);
                })
        .method(View::dealloc_,
                [](View* self) {
                    // Subviews that live on must not point at a freed superview.
                    for (NS::Object* subview : subviewList(self)) {
                        objc::setIvar<View*>(subview, "_superview", nullptr);
                    }
                    View::dealloc_.super<View>(self);
                })
        .build();
}

} // namespace
} // namespace UI
