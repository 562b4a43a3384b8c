#include "UIKit/UIWebElementAction.hpp"
#include "UIKit/UIWebElementActionInternals.hpp"

#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

WebElementAction* initWithTitle(WebElementAction* self, NS::String* title, NS::Block* handler, int type) {
    auto action = WebElementAction::init_.super<WebElementAction>(self);
    if (action == nullptr) {
        return nullptr;
    }
    objc::setIvar(action, WebElementActionInternals::_title, objc::Ptr(title)->copy().as<NS::String>());
    objc::setIvar(action, WebElementActionInternals::_actionHandler,
                  objc::Ptr(handler)->copy().as<NS::Block>());
    objc::setIvar(action, WebElementActionInternals::_type, type);
    return action;
}

NS::String* title(WebElementAction* self) { return objc::ivar(self, WebElementActionInternals::_title); }

void runActionWithElement(WebElementAction* self, NS::Object* element, NS::Object*, NS::Object*, CGPoint) {
    if (auto* handler = objc::ivar(self, WebElementActionInternals::_actionHandler)) {
        handler->invoke<void, id>(objc::toId(element));
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<WebElementAction>()
        .ivar(WebElementActionInternals::_title)
        .ivar(WebElementActionInternals::_actionHandler)
        .ivar(WebElementActionInternals::_type)
        .method<&initWithTitle>(WebElementAction::initWithTitle_)
        .method<&title>(WebElementAction::title_)
        .method<&runActionWithElement>(WebElementAction::runActionWithElement_)
        .build();
}

} // namespace
} // namespace UI
