#include "WebKit/WKElementAction.hpp"

#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace WK {
namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<ElementAction>()
        .ivar<NS::Object*>("_title", objc::Ownership::Owning)
        .ivar<NS::Object*>("_actionHandler", objc::Ownership::Owning)
        .ivar<ElementActionType>("_type")
        .method(ElementAction::initWithTitle_,
                [](ElementAction* self, NS::String* title, NS::Block* handler,
                   ElementActionType type) -> ElementAction* {
                    auto action = ElementAction::init_.super<ElementAction>(self);
                    if (action == nullptr) {
                        return nullptr;
                    }
                    objc::setIvar<NS::Object*>(action, "_title", objc::Ptr(title)->copy());
                    objc::setIvar<NS::Object*>(action, "_actionHandler", objc::Ptr(handler)->copy());
                    objc::setIvar(action, "_type", type);
                    return action;
                })
        .method(ElementAction::title_,
                [](ElementAction* self) -> NS::String* { return objc::ivar<NS::String*>(self, "_title"); })
        .method(ElementAction::type_,
                [](ElementAction* self) -> ElementActionType {
                    return objc::ivar<ElementActionType>(self, "_type");
                })
        .method(ElementAction::runActionWithElementInfo_,
                [](ElementAction* self, NS::Object* elementInfo, NS::Object*) {
                    if (auto* handler = objc::ivar<NS::Block*>(self, "_actionHandler")) {
                        handler->invoke<void, id>(objc::toId(elementInfo));
                    }
                })
        .build();
}

} // namespace
} // namespace WK
