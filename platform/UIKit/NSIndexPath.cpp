#include "UIKit/NSIndexPath.hpp"

#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace {

using objc::operator""_sel;

id indexPathForRow(Class cls, SEL, long row, long section) {
    id path = objc::send<id>(objc::send<id>(cls, "alloc"_sel), "init"_sel);
    objc::setIvar<long>(path, "_row", row);
    objc::setIvar<long>(path, "_section", section);
    return objc::send<id>(path, "autorelease"_sel);
}

bool isEqual(id self, SEL, id other) {
    if (!objc::send<bool>(other, "isKindOfClass:"_sel, objc_lookUpClass("NSIndexPath"))) {
        return false;
    }
    return objc::ivar<long>(self, "_row") == objc::ivar<long>(other, "_row") &&
           objc::ivar<long>(self, "_section") == objc::ivar<long>(other, "_section");
}

unsigned long hash(id self, SEL) {
    return static_cast<unsigned long>(objc::ivar<long>(self, "_section")) * 1000003UL +
           static_cast<unsigned long>(objc::ivar<long>(self, "_row"));
}

// Index paths never change, so a copy is the same object.
id copyWithZone(id self, SEL, void*) { return objc::send<id>(self, "retain"_sel); }

GLINTMERE_REGISTER_CLASSES {
    objc::ClassBuilder("NSIndexPath", "NSObject")
        .property<long>("row")
        .property<long>("section")
        .classMethod<&indexPathForRow>("indexPathForRow:inSection:")
        .method<&isEqual>("isEqual:")
        .method<&hash>("hash")
        .method<&copyWithZone>("copyWithZone:")
        .build();
}

} // namespace
