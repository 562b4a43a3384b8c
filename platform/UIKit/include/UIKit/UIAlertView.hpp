// UIAlertView: the alert of iOS 7 and earlier, a short message with buttons shown over the app.
#pragma once

#include "UIKit/UIView.hpp"

namespace NS {
class String;
}

namespace UI {

// In every release (deprecated from iOS 8.0, where UIAlertController takes its place). The delegate
// (plain reference) may answer
//   - (void)alertView:(UIAlertView*)alertView didDismissWithButtonIndex:(NSInteger)buttonIndex;
class GLINTMERE_EXPORT AlertView : public NS::Referencing<AlertView, "UIAlertView", View> {
  public:
    // The method is variadic: further button titles follow `otherButtonTitles`, ended by nil. Called
    // with no title after the named ones, as here, it is the same call as this fixed-argument one
    // on every processor, and this stand-in reads the named ones only.
    OBJC_MESSAGE_NAMED(initWithTitle, initWithTitle_,
                       "initWithTitle:message:delegate:cancelButtonTitle:otherButtonTitles:",
                       AlertView*(NS::String*, NS::String*, NS::Object*, NS::String*, NS::String*))
    OBJC_MESSAGE(title, "title", NS::String*())
    OBJC_MESSAGE(message, "message", NS::String*())
    // The cancel button first, then the other; -1 when there is no cancel button.
    OBJC_MESSAGE(cancelButtonIndex, "cancelButtonIndex", long())
    OBJC_MESSAGE(numberOfButtons, "numberOfButtons", long())
    OBJC_MESSAGE(buttonTitleAtIndex, "buttonTitleAtIndex:", NS::String*(long))

    // Shows the alert over the app; the system keeps it until it is dismissed.
    OBJC_MESSAGE(show, "show", void())
    OBJC_MESSAGE(isVisible, "isVisible", bool())
    // Takes the alert down and tells the delegate which button did.
    OBJC_MESSAGE(dismissWithClickedButtonIndex, "dismissWithClickedButtonIndex:animated:", void(long, bool))
};

} // namespace UI
