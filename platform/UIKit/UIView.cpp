#include "UIKit/UIView.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

// Subviews are kept in an NSMutableArray made on first use; the superview link is not owning.
id subviewList(id self) { return objc::ivar<id>(self, "_subviews"); }

id initWithFrame(id self, SEL, CGRect frame) {
    self = objc::sendSuper<id>(objc_lookUpClass("UIView"), self, "init"_sel);
    if (self == nil) {
        return nil;
    }
    objc::setIvar(self, "_frame", frame);
    objc::setIvar<CGFloat>(self, "_alpha", 1.0);
    return self;
}

id init(id self, SEL) { return objc::send<id>(self, "initWithFrame:"_sel, CGRectZero); }

CGRect frame(id self, SEL) { return objc::ivar<CGRect>(self, "_frame"); }
void setFrame(id self, SEL, CGRect frame) { objc::setIvar(self, "_frame", frame); }
CGRect bounds(id self, SEL) {
    const CGRect f = objc::send<CGRect>(self, "frame"_sel);
    return CGRectMake(0, 0, f.size.width, f.size.height);
}

CGFloat alpha(id self, SEL) { return objc::ivar<CGFloat>(self, "_alpha"); }
// Alpha is a fraction of opacity: values outside [0, 1] are clamped, as on the device.
void setAlpha(id self, SEL, CGFloat alpha) {
    objc::setIvar<CGFloat>(self, "_alpha", alpha < 0 ? 0 : (alpha > 1 ? 1 : alpha));
}

bool isHidden(id self, SEL) { return objc::ivar<bool>(self, "_hidden"); }

id subviews(id self, SEL) {
    id list = subviewList(self);
    if (list == nil) {
        return objc::send<id>(objc_lookUpClass("NSArray"), "array"_sel);
    }
    return objc::send<id>(objc::send<id>(list, "copy"_sel), "autorelease"_sel);
}

id superview(id self, SEL) { return objc::ivar<id>(self, "_superview"); }

void removeFromSuperview(id self, SEL) {
    id parent = objc::ivar<id>(self, "_superview");
    if (parent == nil) {
        return;
    }
    objc::setIvar<id>(self, "_superview", nil);
    // The parent's list holds the only ownership the tree has of `self`.
    objc::send(subviewList(parent), "removeObject:"_sel, self);
}

void addSubview(id self, SEL, id view) {
    if (view == nil || view == self) {
        return;
    }
    objc::Ref<NS::Object> keep = objc::retain(reinterpret_cast<NS::Object*>(view));
    objc::send(view, "removeFromSuperview"_sel);
    id list = subviewList(self);
    if (list == nil) {
        list = objc::send<id>(objc::send<id>(objc_lookUpClass("NSMutableArray"), "alloc"_sel), "init"_sel);
        objc::setIvar<id>(self, "_subviews", list);
    }
    objc::send(list, "addObject:"_sel, view);
    objc::setIvar<id>(view, "_superview", self);
}

void dealloc(id self, SEL sel) {
    // Subviews that live on must not point at a freed superview.
    if (id list = subviewList(self)) {
        const auto n = objc::send<unsigned long>(list, "count"_sel);
        for (unsigned long i = 0; i < n; ++i) {
            objc::setIvar<id>(objc::send<id>(list, "objectAtIndex:"_sel, i), "_superview", nil);
        }
    }
    objc::sendSuper(objc_lookUpClass("UIView"), self, sel);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("UIView", "NSObject")
        .ivar<CGRect>("_frame")
        .ivar<CGFloat>("_alpha")
        .ivar<id>("_subviews", objc::Ownership::Owning)
        .ivar<id>("_superview")
        .property<bool>("hidden")
        .property<id>("backgroundColor")
        .method<&init>("init")
        .method<&initWithFrame>("initWithFrame:")
        .method<&frame>("frame")
        .method<&setFrame>("setFrame:")
        .method<&bounds>("bounds")
        .method<&alpha>("alpha")
        .method<&setAlpha>("setAlpha:")
        .method<&isHidden>("isHidden")
        .method<&subviews>("subviews")
        .method<&superview>("superview")
        .method<&addSubview>("addSubview:")
        .method<&removeFromSuperview>("removeFromSuperview")
        .method<&dealloc>("dealloc")
        .build();
}

} // namespace
