#include "UIKit/NSLayoutConstraint.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/LayoutPass.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace NS {
namespace {

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
        .method(LayoutConstraint::constraintWithItem_,
                [](Class cls, UI::View* item, LayoutAttribute attribute, LayoutRelation relation,
                   UI::View* toItem, LayoutAttribute toAttribute, CGFloat multiplier,
                   CGFloat constant) -> LayoutConstraint* {
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
                })
        .method(LayoutConstraint::firstItem_,
                [](LayoutConstraint* self) -> UI::View* { return objc::ivar<UI::View*>(self, "_firstItem"); })
        .method(LayoutConstraint::firstAttribute_,
                [](LayoutConstraint* self) -> LayoutAttribute {
                    return objc::ivar<LayoutAttribute>(self, "_firstAttribute");
                })
        .method(LayoutConstraint::relation_,
                [](LayoutConstraint* self) -> LayoutRelation {
                    return objc::ivar<LayoutRelation>(self, "_relation");
                })
        .method(
            LayoutConstraint::secondItem_,
            [](LayoutConstraint* self) -> UI::View* { return objc::ivar<UI::View*>(self, "_secondItem"); })
        .method(LayoutConstraint::secondAttribute_,
                [](LayoutConstraint* self) -> LayoutAttribute {
                    return objc::ivar<LayoutAttribute>(self, "_secondAttribute");
                })
        .method(LayoutConstraint::multiplier_,
                [](LayoutConstraint* self) -> CGFloat { return objc::ivar<CGFloat>(self, "_multiplier"); })
        .method(LayoutConstraint::constant_,
                [](LayoutConstraint* self) -> CGFloat { return objc::ivar<CGFloat>(self, "_constant"); })
        .method(LayoutConstraint::setConstant_,
                [](LayoutConstraint* self, CGFloat constant) {
                    objc::setIvar(self, "_constant", constant);
                    UI::layoutChanged();
                })
        .method(LayoutConstraint::priority_,
                [](LayoutConstraint* self) -> LayoutPriority {
                    return objc::ivar<LayoutPriority>(self, "_priority");
                })
        .method(LayoutConstraint::setPriority_,
                [](LayoutConstraint* self, LayoutPriority priority) {
                    objc::setIvar(self, "_priority", priority);
                    UI::layoutChanged();
                })
        .build();
}

} // namespace
} // namespace NS
