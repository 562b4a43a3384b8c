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
    objc::setIvar<NS::Object*>(action, "_title", objc::Ptr(title)->copy());
    objc::setIvar<NS::Object*>(action, "_actionHandler", objc::Ptr(handler)->copy());
    objc::setIvar(action, "_type", type);
    return action;
}

NS::String* title(ElementAction* self) { return objc::ivar<NS::String*>(self, "_title"); }

ElementActionType type(ElementAction* self) { return objc::ivar<ElementActionType>(self, "_type"); }

void runActionWithElementInfo(ElementAction* self, NS::Object* elementInfo, NS::Object*) {
    if (auto* handler = objc::ivar<NS::Block*>(self, "_actionHandler")) {
        handler->invoke<void, id>(objc::toId(elementInfo));
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ElementAction>()
        .ivar<NS::Object*>("_title", objc::Ownership::Owning)
        .ivar<NS::Object*>("_actionHandler", objc::Ownership::Owning)
        .ivar<ElementActionType>("_type")
        .method<&initWithTitle>(ElementAction::initWithTitle_)
        .method<&title>(ElementAction::title_)
        .method<&type>(ElementAction::type_)
        .method<&runActionWithElementInfo>(ElementAction::runActionWithElementInfo_)
        .build();
}

} // namespace
} // namespace WK
