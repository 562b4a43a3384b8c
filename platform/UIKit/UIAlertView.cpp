#include "UIKit/UIAlertView.hpp"
#include "UIKit/UIAlertViewInternals.hpp"

#include "Foundation/NSString.hpp"
#include "UIKit/Layout/LayoutPass.hpp"
#include "UIKit/Rendering/AlertPanel.hpp"
#include "UIKit/UIScreen.hpp"
#include "UIKit/UIWindowInternals.hpp"
#include "objc/ClassBuilder.hpp"
#include "objc/Registration.hpp"

#include <utility>
#include <vector>

namespace UI {
namespace {

// The system keeps a shown alert alive until it is dismissed, as its window does on a device (a
// plain pointer holding a reference: nothing is let go at exit).
AlertView* shown = nullptr;

// What the delegate may answer.
class AlertViewDelegate : public NS::Object {
  public:
    OBJC_MESSAGE_NAMED(didDismiss, didDismiss_,
                       "alertView:didDismissWithButtonIndex:", void(AlertView*, long))
};

AlertView* initWithTitle(AlertView* self, NS::String* title, NS::String* message, NS::Object* delegate,
                         NS::String* cancelButtonTitle, NS::String* otherButtonTitle) {
    auto alert = AlertView::init_.super<AlertView>(self);
    if (alert == nullptr) {
        return nullptr;
    }
    objc::setIvar(alert, AlertViewInternals::_title, objc::Ptr(title)->copy().as<NS::String>());
    objc::setIvar(alert, AlertViewInternals::_message, objc::Ptr(message)->copy().as<NS::String>());
    objc::setIvar(alert, AlertViewInternals::_delegate, delegate);
    objc::setIvar(alert, AlertViewInternals::_cancelButtonTitle,
                  objc::Ptr(cancelButtonTitle)->copy().as<NS::String>());
    objc::setIvar(alert, AlertViewInternals::_otherButtonTitle,
                  objc::Ptr(otherButtonTitle)->copy().as<NS::String>());
    return alert;
}

NS::String* title(AlertView* self) { return objc::ivar(self, AlertViewInternals::_title); }
NS::String* message(AlertView* self) { return objc::ivar(self, AlertViewInternals::_message); }

long cancelButtonIndex(AlertView* self) {
    return objc::ivar(self, AlertViewInternals::_cancelButtonTitle) != nullptr ? 0 : -1;
}

long numberOfButtons(AlertView* self) {
    return (objc::ivar(self, AlertViewInternals::_cancelButtonTitle) != nullptr ? 1 : 0) +
           (objc::ivar(self, AlertViewInternals::_otherButtonTitle) != nullptr ? 1 : 0);
}

NS::String* buttonTitleAtIndex(AlertView* self, long index) {
    NS::String* cancel = objc::ivar(self, AlertViewInternals::_cancelButtonTitle);
    NS::String* other = objc::ivar(self, AlertViewInternals::_otherButtonTitle);
    if (cancel != nullptr && index == 0) {
        return cancel;
    }
    if (other != nullptr && index == (cancel != nullptr ? 1 : 0)) {
        return other;
    }
    return nullptr;
}

// The window the alert dims: the one made visible last, as the key window is.
Window* keyWindow() {
    const auto& windows = windowsToLayOut();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto window = NS::cast<Window>(*it);
        if (window != nullptr && objc::ivar(window, UI::WindowInternals::_visible)) {
            return window;
        }
    }
    return nullptr;
}

void show(AlertView* self) {
    if (shown == self) {
        return;
    }
    AlertView* previous = std::exchange(shown, self->retain().get());
    if (previous != nullptr) {
        previous->removeFromSuperview();
        previous->release();
    }
    // The dimmed screen and the box, over everything the window shows, its status bar too.
    std::vector<AlertButton> buttons;
    for (long i = 0; i < self->numberOfButtons(); ++i) {
        buttons.push_back({objc::Ptr(self->buttonTitleAtIndex(i))->str(), i == self->cancelButtonIndex()
                                                                              ? AlertButton::Kind::Cancel
                                                                              : AlertButton::Kind::Plain});
    }
    fillAlertPanel(self, objc::Ptr(self->title())->str(), objc::Ptr(self->message())->str(), buttons);
    self->setFrame(Screen::mainScreen()->bounds());
    if (Window* window = keyWindow()) {
        window->addSubview(self);
    }
}

void layoutAlert(AlertView* self) { centreAlertPanel(self); }

bool isVisible(AlertView* self) { return shown == self; }

void dismissWithClickedButtonIndex(AlertView* self, long index, bool) {
    if (shown != self) {
        return;
    }
    auto keep = objc::adopt(std::exchange(shown, nullptr));
    self->removeFromSuperview();
    auto delegate = objc::Ptr(objc::ivar(self, AlertViewInternals::_delegate)).as<AlertViewDelegate>();
    if (delegate->respondsToSelector(AlertViewDelegate::didDismiss_.selector())) {
        delegate->didDismiss(self, index);
    }
}

GLINTMERE_REGISTER_CLASSES {
    objc::ClassDefinition<AlertView>()
        .ivar(AlertViewInternals::_title)
        .ivar(AlertViewInternals::_message)
        .ivar(AlertViewInternals::_delegate)
        .ivar(AlertViewInternals::_cancelButtonTitle)
        .ivar(AlertViewInternals::_otherButtonTitle)
        .method<&initWithTitle>(AlertView::initWithTitle_)
        .method<&title>(AlertView::title_)
        .method<&message>(AlertView::message_)
        .method<&cancelButtonIndex>(AlertView::cancelButtonIndex_)
        .method<&numberOfButtons>(AlertView::numberOfButtons_)
        .method<&buttonTitleAtIndex>(AlertView::buttonTitleAtIndex_)
        .method<&show>(AlertView::show_)
        .method<&isVisible>(AlertView::isVisible_)
        .method<&dismissWithClickedButtonIndex>(AlertView::dismissWithClickedButtonIndex_)
        .method<&layoutAlert>(View::layoutSubviews_)
        .build();
}

} // namespace

AlertView* visibleAlertView() { return shown; }

} // namespace UI
