#include "WebKit/WKElementAction.hpp"

#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
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
    objc::setIvar(action, WK::ElementAction::_title, objc::Ptr(title)->copy().as<NS::String>());
    objc::setIvar(action, WK::ElementAction::_actionHandler, objc::Ptr(handler)->copy().as<NS::Block>());
    objc::setIvar(action, WK::ElementAction::_type, type);
    return action;
}

NS::String* title(ElementAction* self) { return objc::ivar(self, WK::ElementAction::_title); }

ElementActionType type(ElementAction* self) { return objc::ivar(self, WK::ElementAction::_type); }

void runActionWithElementInfo(ElementAction* self, NS::Object* elementInfo, NS::Object*) {
    if (auto* handler = objc::ivar(self, WK::ElementAction::_actionHandler)) {
        handler->invoke<void, id>(objc::toId(elementInfo));
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ElementAction>()
        .ivar(ElementAction::_title)
        .ivar(ElementAction::_actionHandler)
        .ivar(ElementAction::_type)
        .method<&initWithTitle>(ElementAction::initWithTitle_)
        .method<&title>(ElementAction::title_)
        .method<&type>(ElementAction::type_)
        .method<&runActionWithElementInfo>(ElementAction::runActionWithElementInfo_)
        .build();
}

} // namespace
} // namespace WK
