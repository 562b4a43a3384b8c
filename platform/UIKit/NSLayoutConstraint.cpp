#include "UIKit/NSLayoutConstraint.hpp"
#include "UIKit/NSLayoutConstraintInternals.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace NS {
namespace {

LayoutConstraint* constraintWithItem(Class cls, UI::View* item, LayoutAttribute attribute,
                                     LayoutRelation relation, UI::View* toItem, LayoutAttribute toAttribute,
                                     CGFloat multiplier, CGFloat constant) {
    auto c = LayoutConstraint::alloc_.send(cls)->init();
    objc::setIvar(c, NS::LayoutConstraintInternals::_firstItem, item);
    objc::setIvar(c, NS::LayoutConstraintInternals::_firstAttribute, attribute);
    objc::setIvar(c, NS::LayoutConstraintInternals::_relation, relation);
    objc::setIvar(c, NS::LayoutConstraintInternals::_secondItem, toItem);
    objc::setIvar(c, NS::LayoutConstraintInternals::_secondAttribute, toAttribute);
    objc::setIvar(c, NS::LayoutConstraintInternals::_multiplier, multiplier);
    objc::setIvar(c, NS::LayoutConstraintInternals::_constant, constant);
    objc::setIvar(c, NS::LayoutConstraintInternals::_priority, LayoutPriorityRequired);
    return c->autorelease();
}

UI::View* firstItem(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_firstItem);
}

LayoutAttribute firstAttribute(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_firstAttribute);
}

LayoutRelation relation(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_relation);
}

UI::View* secondItem(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_secondItem);
}

LayoutAttribute secondAttribute(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_secondAttribute);
}

CGFloat multiplier(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_multiplier);
}

CGFloat constant(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_constant);
}

void setConstant(LayoutConstraint* self, CGFloat constant) {
    objc::setIvar(self, NS::LayoutConstraintInternals::_constant, constant);
    UI::layoutChanged();
}

LayoutPriority priority(LayoutConstraint* self) {
    return objc::ivar(self, NS::LayoutConstraintInternals::_priority);
}

void setPriority(LayoutConstraint* self, LayoutPriority priority) {
    objc::setIvar(self, NS::LayoutConstraintInternals::_priority, priority);
    UI::layoutChanged();
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<LayoutConstraint>()
        .ivar(LayoutConstraintInternals::_firstItem)
        .ivar(LayoutConstraintInternals::_firstAttribute)
        .ivar(LayoutConstraintInternals::_relation)
        .ivar(LayoutConstraintInternals::_secondItem)
        .ivar(LayoutConstraintInternals::_secondAttribute)
        .ivar(LayoutConstraintInternals::_multiplier)
        .ivar(LayoutConstraintInternals::_constant)
        .ivar(LayoutConstraintInternals::_priority)
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
