#include "UIKit/UIAlertController.hpp"

#include "Foundation/NSArray.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

namespace UI {
namespace {

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<AlertAction>()
        .property<NS::String*>("title", objc::Ownership::Copying)
        .property<long>("style")
        .property<NS::Block*>("handler", objc::Ownership::Owning)
        .method(AlertAction::actionWithTitle_,
                [](Class cls, NS::String* title, long style, NS::Block* handler) -> AlertAction* {
                    auto action = objc::adopt(AlertAction::make_.send(cls));
                    objc::setIvar<NS::Object*>(action, "_title", objc::Ptr(title)->copy());
                    objc::setIvar<long>(action, "_style", style);
                    objc::setIvar<NS::Object*>(action, "_handler", objc::Ptr(handler)->retain());
                    return action->retain()->autorelease();
                })
        .build();

    objc::ClassDefinition<AlertController>()
        .property<NS::String*>("message", objc::Ownership::Copying)
        .property<long>("preferredStyle")
        .ivar<NS::MutableArray*>("_actions", objc::Ownership::Owning)
        .method(AlertController::alertControllerWithTitle_,
                [](Class cls, NS::String* title, NS::String* message, long style) -> AlertController* {
                    auto alert = objc::adopt(AlertController::make_.send(cls));
                    alert->setTitle(title);
                    alert->setMessage(message);
                    objc::setIvar<long>(alert, "_preferredStyle", style);
                    return alert->retain()->autorelease();
                })
        .method(AlertController::addAction_,
                [](AlertController* self, AlertAction* action) {
                    if (action == nullptr) {
                        return;
                    }
                    auto actions = objc::ivar<NS::MutableArray*>(self, "_actions");
                    if (actions == nullptr) {
                        actions = NS::MutableArray::alloc()->init();
                        objc::setIvar<NS::MutableArray*>(self, "_actions", actions);
                    }
                    actions->addObject(action);
                })
        .method(AlertController::actions_,
                [](AlertController* self) -> NS::Array* {
                    auto actions = objc::ivar<NS::MutableArray*>(self, "_actions");
                    return actions != nullptr ? static_cast<NS::Array*>(actions) : NS::Array::array().get();
                })
        .build();
}

} // namespace

bool tapAlertAction(AlertController* alert, AlertAction* action) {
    auto keepAlert = objc::retain(alert);
    if (!keepAlert->actions()->containsObject(action)) {
        return false;
    }
    auto keepAction = objc::retain(action);
    keepAlert->dismissViewController(true, nullptr);
    auto handler = objc::retain(objc::ivar<NS::Block*>(action, "_handler"));
    handler->invoke<void, AlertAction*>(action);
    return true;
}

} // namespace UI
