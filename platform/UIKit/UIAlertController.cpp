#include "UIKit/UIAlertController.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "UIKit/UIAlertControllerInternals.hpp"
#include "UIKit/UIViewControllerInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Rendering/AlertPanel.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <string>
#include <vector>

namespace UI {
namespace {

// What an alert looks like: the screen dimmed, with the alert's box in its middle.
class AlertControllerView : public NS::Referencing<AlertControllerView, "_UIAlertControllerView", View> {};

// The box, made as the alert appears, when its title, message and actions are all given.
void showAlert(AlertControllerView* self) {
    auto alert = NS::cast<AlertController>(controllerOfView(self));
    if (alert == nullptr) {
        return;
    }
    std::vector<AlertButton> buttons;
    for (NS::Object* object : alert->actions()) {
        auto action = reinterpret_cast<AlertAction*>(object);
        const long style = action->style();
        buttons.push_back({action->title() != nullptr ? action->title()->str() : "",
                           style == UIAlertActionStyleCancel        ? AlertButton::Kind::Cancel
                           : style == UIAlertActionStyleDestructive ? AlertButton::Kind::Destructive
                                                                    : AlertButton::Kind::Plain});
    }
    fillAlertPanel(self, alert->title() != nullptr ? alert->title()->str() : "",
                   alert->message() != nullptr ? alert->message()->str() : "", buttons);
}

void layoutAlert(AlertControllerView* self) { centreAlertPanel(self); }

void viewWillAppear(AlertController* self, bool animated) {
    ViewController::viewWillAppear_.super<AlertController>(self, animated);
    showAlert(self->view().as<AlertControllerView>());
}

AlertAction* actionWithTitle(Class cls, NS::String* title, long style, NS::Block* handler) {
    auto action = objc::adopt(AlertAction::make_.send(cls));
    objc::setIvar(action, AlertActionInternals::_title, objc::Ptr(title)->copy().as<NS::String>());
    objc::setIvar(action, AlertActionInternals::_style, style);
    objc::storeOwned(action.get(), AlertActionInternals::_handler, handler);
    return action->retain()->autorelease();
}

AlertController* alertControllerWithTitle(Class cls, NS::String* title, NS::String* message, long style) {
    auto alert = objc::adopt(AlertController::make_.send(cls));
    alert->setTitle(title);
    alert->setMessage(message);
    objc::setIvar(alert, AlertControllerInternals::_preferredStyle, style);
    // Shown over the app, which stays on screen under it.
    alert->setModalPresentationStyle(ModalPresentationCustom);
    return alert->retain()->autorelease();
}

void addAction(AlertController* self, AlertAction* action) {
    if (action == nullptr) {
        return;
    }
    auto actions = objc::ivar(self, UI::AlertControllerInternals::_actions);
    if (actions == nullptr) {
        actions = NS::MutableArray::alloc()->init();
        objc::setIvar(self, UI::AlertControllerInternals::_actions, actions);
    }
    actions->addObject(action);
}

void loadView(AlertController* self) {
    self->setView(objc::adopt(AlertControllerView::alloc()->initWithFrame(Screen::mainScreen()->bounds())));
}

NS::Array* actions(AlertController* self) {
    auto actions = objc::ivar(self, UI::AlertControllerInternals::_actions);
    return actions != nullptr ? static_cast<NS::Array*>(actions) : NS::Array::array().get();
}

GLINTMERE_REGISTER_CLASSES {
    // UIAlertController and its actions are there from iOS 8.0; iOS 7 has UIAlertView alone.
    if (!CF::systemIsAtLeast(CF::release::iOS8_0)) {
        return;
    }
    objc::ClassDefinition<AlertControllerView>().method<&layoutAlert>(View::layoutSubviews_).build();
    objc::ClassDefinition<AlertAction>()
        .property(AlertActionInternals::_title)
        .property(AlertActionInternals::_style)
        .property(AlertActionInternals::_handler)
        .method<&actionWithTitle>(AlertAction::actionWithTitle_)
        .build();

    objc::ClassDefinition<AlertController>()
        .property<NS::String*>("message", objc::Ownership::Copying)
        .property(AlertControllerInternals::_preferredStyle)
        .ivar(AlertControllerInternals::_actions)
        .method<&alertControllerWithTitle>(AlertController::alertControllerWithTitle_)
        .method<&addAction>(AlertController::addAction_)
        .method<&loadView>(ViewController::loadView_)
        .method<&viewWillAppear>(ViewController::viewWillAppear_)
        .method<&actions>(AlertController::actions_)
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
    auto handler = objc::retain(objc::ivar(action, AlertActionInternals::_handler));
    handler->invoke<void, AlertAction*>(action);
    return true;
}

} // namespace UI
