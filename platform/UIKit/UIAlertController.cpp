#include "UIKit/UIAlertController.hpp"
#include "Foundation/NSAutoreleasePoolInternals.hpp"
#include "UIKit/UIAlertControllerInternals.hpp"
#include "UIKit/UIViewControllerInternals.hpp"

#include "CoreFoundation/DeviceFacts.hpp"
#include "Foundation/NSArray.hpp"
#include "Foundation/NSBlock.hpp"
#include "Foundation/NSString.hpp"
#include "UIKit/Rendering/Drawing.hpp"
#include "UIKit/UIColor.hpp"
#include "UIKit/UILabel.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIView.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <algorithm>
#include <string>

namespace UI {
namespace {

// What an alert looks like: the screen dimmed, and a light box in its middle with the title, the
// message and a row of buttons (two side by side, else one under the other).
class AlertControllerView : public NS::Referencing<AlertControllerView, "_UIAlertControllerView", View> {};

constexpr double kBoxWidth = 270;
constexpr double kTextInset = 16;
constexpr double kButtonHeight = 44;

void clear(View* view) {
    for (NS::Object* child : view->subviews()) {
        reinterpret_cast<View*>(child)->removeFromSuperview();
    }
}

// A label of `text` wrapped to the box's text width, centred in it at `y`; returns its bottom.
double addCentredText(View* box, const std::string& text, const char* font, double size, double y) {
    View* label = makeLabel(text.c_str(), font, size, colorRGB(0, 0, 0), {}, kBoxWidth - 2 * kTextInset);
    reinterpret_cast<Label*>(label)->setTextAlignment(TextAlignmentCenter);
    CGRect f = label->frame();
    f.origin = {(kBoxWidth - f.size.width) / 2, y};
    label->setFrame(f);
    box->addSubview(label);
    return y + f.size.height;
}

// The box, made as the alert appears, when its title, message and actions are all given.
void showAlert(AlertControllerView* self) {
    clear(self);
    auto alert = NS::cast<AlertController>(controllerOfView(self));
    if (alert == nullptr) {
        return;
    }
    self->setBackgroundColor(colorRGB(0, 0, 0, 0.4));
    const std::string title = alert->title() != nullptr ? alert->title()->str() : "";
    const std::string message = alert->message() != nullptr ? alert->message()->str() : "";
    auto panel = makeBox(CGRectZero, colorRGB(247, 247, 247));
    double y = 20;
    if (!title.empty()) {
        y = addCentredText(panel, title, "HelveticaNeue-Medium", 17, y);
    }
    if (!message.empty()) {
        y = addCentredText(panel, message, "HelveticaNeue", 13, title.empty() ? y : y + 4);
    }
    y += 20;
    auto actions = alert->actions();
    const unsigned long count = actions->count();
    const bool sideBySide = count == 2;
    const double buttonWidth = sideBySide ? kBoxWidth / 2 : kBoxWidth;
    for (unsigned long i = 0; i < count; ++i) {
        auto action = actions->objectAtIndex(i).as<AlertAction>();
        const double x = sideBySide ? buttonWidth * static_cast<double>(i) : 0;
        const double top = sideBySide ? y : y + kButtonHeight * static_cast<double>(i);
        panel->addSubview(makeBox(CGRectMake(x, top, buttonWidth, 0.5), colorRGB(200, 199, 204)));
        if (sideBySide && i == 1) {
            panel->addSubview(makeBox(CGRectMake(x, top, 0.5, kButtonHeight), colorRGB(200, 199, 204)));
        }
        const std::string name = action->title() != nullptr ? action->title()->str() : "";
        const bool cancel = action->style() == UIAlertActionStyleCancel;
        View* label = makeLabel(name.c_str(), cancel ? "HelveticaNeue-Medium" : "HelveticaNeue", 17,
                                action->style() == UIAlertActionStyleDestructive ? colorRGB(255, 59, 48)
                                                                                 : systemTintColor());
        CGRect f = label->frame();
        f.size.width = std::min(f.size.width, buttonWidth);
        f.origin = {x + (buttonWidth - f.size.width) / 2, top + (kButtonHeight - f.size.height) / 2};
        label->setFrame(f);
        panel->addSubview(label);
    }
    const double height = y + (count == 0   ? 0
                               : sideBySide ? kButtonHeight
                                            : kButtonHeight * static_cast<double>(count));
    panel->setFrame(CGRectMake(0, 0, kBoxWidth, height));
    self->addSubview(panel);
}

// The box in the middle of the screen.
void layoutAlert(AlertControllerView* self) {
    const CGSize screen = self->frame().size;
    for (NS::Object* child : self->subviews()) {
        auto panel = reinterpret_cast<View*>(child);
        const CGSize box = panel->frame().size;
        panel->setFrame(CGRectMake((screen.width - box.width) / 2, (screen.height - box.height) / 2,
                                   box.width, box.height));
    }
}

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
