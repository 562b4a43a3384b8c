#include "UIKit/UIBarButtonItem.hpp"
#include "UIKit/UIBarButtonItemInternals.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/UIColor.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <cstring>

namespace UI {
namespace {

BarButtonItem* setUp(BarButtonItem* item, long systemItem, id target, SEL action) {
    objc::setIvar(item, UI::BarButtonItemInternals::_systemItem, systemItem);
    objc::setIvar(item, UI::BarButtonItemInternals::_target, target);
    objc::setIvar(item, UI::BarButtonItemInternals::_action, action);
    objc::setIvar(item, UI::BarButtonItemInternals::_enabled, true);
    return item;
}

BarButtonItem* init(BarButtonItem* self) {
    auto item = BarButtonItem::init_.super<BarButtonItem>(self);
    return item != nullptr ? setUp(item, -1, nil, nullptr) : nullptr;
}

BarButtonItem* initWithBarButtonSystemItemTargetAction(BarButtonItem* self, long systemItem, id target,
                                                       SEL action) {
    auto item = BarButtonItem::init_.super<BarButtonItem>(self);
    return item != nullptr ? setUp(item, systemItem, target, action) : nullptr;
}

BarButtonItem* initWithTitleStyleTargetAction(BarButtonItem* self, NS::String* title, long, id target,
                                              SEL action) {
    auto item = BarButtonItem::init_.super<BarButtonItem>(self);
    if (item == nullptr) {
        return nullptr;
    }
    item->setTitle(title);
    return setUp(item, -1, target, action);
}

long systemItem(BarButtonItem* self) { return objc::ivar(self, UI::BarButtonItemInternals::_systemItem); }

id target(BarButtonItem* self) { return objc::ivar(self, UI::BarButtonItemInternals::_target); }

void setTarget(BarButtonItem* self, id target) {
    objc::setIvar(self, UI::BarButtonItemInternals::_target, target);
}

SEL action(BarButtonItem* self) { return objc::ivar(self, UI::BarButtonItemInternals::_action); }

void setAction(BarButtonItem* self, SEL action) {
    objc::setIvar(self, UI::BarButtonItemInternals::_action, action);
}

bool isEnabled(BarButtonItem* self) { return objc::ivar(self, UI::BarButtonItemInternals::_enabled); }

void setEnabled(BarButtonItem* self, bool enabled) {
    objc::setIvar(self, UI::BarButtonItemInternals::_enabled, enabled);
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<BarButtonItem>()
        .ivar(BarButtonItemInternals::_systemItem)
        .ivar(BarButtonItemInternals::_target)
        .ivar(BarButtonItemInternals::_action)
        .ivar(BarButtonItemInternals::_enabled)
        .property(BarButtonItem::title_, BarButtonItem::setTitle_, objc::Ownership::Copying)
        .property(BarButtonItem::tintColor_, BarButtonItem::setTintColor_)
        .method<&init>(BarButtonItem::init_)
        .method<&initWithBarButtonSystemItemTargetAction>(
            BarButtonItem::initWithBarButtonSystemItemTargetAction_)
        .method<&initWithTitleStyleTargetAction>(BarButtonItem::initWithTitleStyleTargetAction_)
        .method<&systemItem>(UI::BarButtonItemInternals::systemItem_)
        .method<&target>(BarButtonItem::target_)
        .method<&setTarget>(BarButtonItem::setTarget_)
        .method<&action>(BarButtonItem::action_)
        .method<&setAction>(BarButtonItem::setAction_)
        .method<&isEnabled>(BarButtonItem::isEnabled_)
        .method<&setEnabled>(BarButtonItem::setEnabled_)
        .build();
}

} // namespace

bool tapBarButtonItem(BarButtonItem* item) {
    if (item == nullptr || !item->isEnabled()) {
        return false;
    }
    const SEL action = item->action();
    auto target = reinterpret_cast<NS::Object*>(item->target());
    if (action == nullptr || target == nullptr || !target->respondsToSelector(action)) {
        return false;
    }
    // The action is whatever selector the item was given: no view declares it, so it is sent as named.
    if (std::strchr(sel_getName(action), ':') != nullptr) {
        objc::send<void>(target, action, item);
    } else {
        objc::send<void>(target, action);
    }
    return true;
}

} // namespace UI
