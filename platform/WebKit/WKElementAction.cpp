#include "WebKit/WKElementAction.hpp"
#include "WebKit/WKElementActionInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "WebKit/WKActionSheetAssistant.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

ElementAction* initWithTitle(ElementAction* self, NS::String* title, NS::Block* handler,
                             ElementActionType type) {
    auto action = ElementAction::init_.super<ElementAction>(self);
    if (action == nullptr) {
        return nullptr;
    }
    objc::setIvar(action, ElementActionInternals::_title, objc::Ptr(title)->copy().as<NS::String>());
    objc::setIvar(action, ElementActionInternals::_actionHandler, objc::Ptr(handler)->copy().as<NS::Block>());
    objc::setIvar(action, ElementActionInternals::_type, type);
    return action;
}

ElementAction* initWithTitleForAssistant(ElementAction* self, NS::String* title, NS::Block* handler,
                                         ElementActionType type, ActionSheetAssistant* assistant) {
    auto action = initWithTitle(self, title, handler, type);
    if (action != nullptr) {
        objc::setIvar(action, ElementActionInternals::_defaultActionSheetAssistant, assistant);
    }
    return action;
}

NS::String* title(ElementAction* self) { return objc::ivar(self, ElementActionInternals::_title); }

ElementActionType type(ElementAction* self) { return objc::ivar(self, ElementActionInternals::_type); }

void runHandler(ElementAction* self, NS::Object* elementInfo) {
    if (auto* handler = objc::ivar(self, ElementActionInternals::_actionHandler)) {
        handler->invoke<void, id>(objc::toId(elementInfo));
    }
}

void runActionWithElementInfo(ElementAction* self, NS::Object* elementInfo, NS::Object*) {
    runHandler(self, elementInfo);
}

void runActionWithElementInfoForAssistant(ElementAction* self, NS::Object* elementInfo,
                                          ActionSheetAssistant*) {
    runHandler(self, elementInfo);
}

// Through the private method, as a send, so that whatever replaced it runs.
void runActionWithElementInfoPublicly(ElementAction* self, NS::Object* elementInfo) {
    self->runActionWithElementInfoForAssistant(
        elementInfo, objc::ivar(self, ElementActionInternals::_defaultActionSheetAssistant));
}

GLINTMERE_REGISTER_CLASSES {
    if (!CF::systemIsAtLeast(CF::release::iOS8_0)) {
        return;
    }
    objc::ClassDefinition<ElementAction> definition;
    definition.ivar(ElementActionInternals::_title)
        .ivar(ElementActionInternals::_actionHandler)
        .ivar(ElementActionInternals::_type)
        .ivar(ElementActionInternals::_defaultActionSheetAssistant)
        .method<&title>(ElementAction::title_)
        .method<&type>(ElementAction::type_);
    if (CF::systemIsAtLeast(CF::release::iOS9_0)) {
        definition.method<&initWithTitleForAssistant>(ElementAction::initWithTitleForAssistant_)
            .method<&runActionWithElementInfoPublicly>(ElementAction::runActionWithElementInfoPublicly_);
    } else {
        definition.method<&initWithTitle>(ElementAction::initWithTitle_);
    }
    if (CF::systemIsAtLeast(CF::release::iOS8_3)) {
        definition.method<&runActionWithElementInfoForAssistant>(
            ElementAction::runActionWithElementInfoForAssistant_);
    } else {
        definition.method<&runActionWithElementInfo>(ElementAction::runActionWithElementInfo_);
    }
    definition.build();
}

} // namespace
} // namespace WK
