#include "UIKit/NSLayoutConstraint.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/LayoutPass.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace NS {
namespace {

LayoutConstraint* constraintWithItem(Class cls, UI::View* item, LayoutAttribute attribute,
                                     LayoutRelation relation, UI::View* toItem, LayoutAttribute toAttribute,
                                     CGFloat multiplier, CGFloat constant) {
    auto c = LayoutConstraint::alloc_.send(cls)->init();
    objc::setIvar(c, "_firstItem", item);
    objc::setIvar(c, "_firstAttribute", attribute);
    objc::setIvar(c, "_relation", relation);
    objc::setIvar(c, "_secondItem", toItem);
    objc::setIvar(c, "_secondAttribute", toAttribute);
    objc::setIvar(c, "_multiplier", multiplier);
    objc::setIvar(c, "_constant", constant);
    objc::setIvar(c, "_priority", LayoutPriorityRequired);
    return c->autorelease();
}

UI::View* firstItem(LayoutConstraint* self) { return objc::ivar<UI::View*>(self, "_firstItem"); }

LayoutAttribute firstAttribute(LayoutConstraint* self) {
    return objc::ivar<LayoutAttribute>(self, "_firstAttribute");
}

LayoutRelation relation(LayoutConstraint* self) { return objc::ivar<LayoutRelation>(self, "_relation"); }

UI::View* secondItem(LayoutConstraint* self) { return objc::ivar<UI::View*>(self, "_secondItem"); }

LayoutAttribute secondAttribute(LayoutConstraint* self) {
    return objc::ivar<LayoutAttribute>(self, "_secondAttribute");
}

CGFloat multiplier(LayoutConstraint* self) { return objc::ivar<CGFloat>(self, "_multiplier"); }

CGFloat constant(LayoutConstraint* self) { return objc::ivar<CGFloat>(self, "_constant"); }

void setConstant(LayoutConstraint* self, CGFloat constant) {
    objc::setIvar(self, "_constant", constant);
    UI::layoutChanged();
}

LayoutPriority priority(LayoutConstraint* self) { return objc::ivar<LayoutPriority>(self, "_priority"); }

void setPriority(LayoutConstraint* self, LayoutPriority priority) {
    objc::setIvar(self, "_priority", priority);
    UI::layoutChanged();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<LayoutConstraint>()
        // The items are never sent anything by the constraint: a layout pass only compares them with
        // the views it lays out, so a view gone before its constraint is never touched through it.
        .ivar<UI::View*>("_firstItem")
        .ivar<LayoutAttribute>("_firstAttribute")
        .ivar<LayoutRelation>("_relation")
        .ivar<UI::View*>("_secondItem")
        .ivar<LayoutAttribute>("_secondAttribute")
        .ivar<CGFloat>("_multiplier")
        .ivar<CGFloat>("_constant")
        .ivar<LayoutPriority>("_priority")
        .property<String*>("identifier", objc::Ownership::Copying)
        .method<&constraintWithItem>(LayoutConstraint::constraintWithItem_)
        .method<&firstItem>(LayoutConstraint::firstItem_)
        .method<&firstAttribute>(LayoutConstraint::firstAttribute_)
        .method<&relation>(LayoutConstraint::relation_)
        .method<&secondItem>(LayoutConstraint::secondItem_)
        .method<&secondAttribute>(LayoutConstraint::secondAttribute_)
        .method<&multiplier>(LayoutConstraint::multiplier_)
        .method<&constant>(LayoutConstraint::constant_)
        .method<&setConstant>(LayoutConstraint::setConstant_)
        .method<&priority>(LayoutConstraint::priority_)
        .method<&setPriority>(LayoutConstraint::setPriority_)
        .build();
}

} // namespace
} // namespace NS
