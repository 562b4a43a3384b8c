// UIAlertController: a short message with buttons, presented over the app until
// a button is tapped.
#pragma once

#include "UIKit/UIViewController.hpp"

namespace NS {
class Array;
class Block;
class MutableArray;
class String;
} // namespace NS

namespace UI {

// iOS 8.0 and later: the alert controller, its styles and its actions; on 7.x the alert is UIAlertView.
enum UIAlertControllerStyle : long {
    UIAlertControllerStyleActionSheet = 0,
    UIAlertControllerStyleAlert = 1,
};

enum UIAlertActionStyle : long {
    UIAlertActionStyleDefault = 0,
    UIAlertActionStyleCancel = 1,
    UIAlertActionStyleDestructive = 2,
};

// iOS 8.0 and later. One button of an alert. The handler is an NS::Block made from a callable of
// type void(UI::AlertAction*), or nil.
class GLINTMERE_EXPORT AlertAction : public NS::Referencing<AlertAction, "UIAlertAction"> {
  public:
    // Autoreleased.
    OBJC_CLASS_MESSAGE(actionWithTitle,
                       "actionWithTitle:style:handler:", AlertAction*(NS::String*, long, NS::Block*))
    OBJC_MESSAGE(title, "title", NS::String*())
    OBJC_MESSAGE(style, "style", long())
};

// iOS 8.0 and later.
class GLINTMERE_EXPORT AlertController
    : public NS::Referencing<AlertController, "UIAlertController", ViewController> {
  public:
    // Autoreleased; the title is the controller's `title`.
    OBJC_CLASS_MESSAGE(alertControllerWithTitle, "alertControllerWithTitle:message:preferredStyle:",
                       AlertController*(NS::String*, NS::String*, long))
    OBJC_MESSAGE(message, "message", NS::String*())
    OBJC_MESSAGE(setMessage, "setMessage:", void(NS::String*))
    OBJC_MESSAGE(preferredStyle, "preferredStyle", long())
    // Buttons in the order added.
    OBJC_MESSAGE(addAction, "addAction:", void(AlertAction*))
    OBJC_MESSAGE(actions, "actions", NS::Array*())
};

} // namespace UI
