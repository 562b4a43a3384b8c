// UIBarButtonItem: a button of a navigation bar, a system item or a titled one, with its action.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

class Color;

enum UIBarButtonSystemItem : long {
    UIBarButtonSystemItemDone = 0,
    UIBarButtonSystemItemCancel = 1,
    UIBarButtonSystemItemEdit = 2,
    UIBarButtonSystemItemSave = 3,
    UIBarButtonSystemItemAdd = 4,
    UIBarButtonSystemItemFlexibleSpace = 5,
    UIBarButtonSystemItemFixedSpace = 6,
    UIBarButtonSystemItemCompose = 7,
    UIBarButtonSystemItemReply = 8,
    UIBarButtonSystemItemAction = 9,
};

class GLINTMERE_EXPORT BarButtonItem : public NS::Referencing<BarButtonItem, "UIBarButtonItem"> {
  public:
    // The target is not retained, as on the device: it is normally the controller that owns the bar.
    OBJC_MESSAGE_NAMED(initWithBarButtonSystemItem, initWithBarButtonSystemItemTargetAction_,
                       "initWithBarButtonSystemItem:target:action:", BarButtonItem*(long, id, SEL))
    OBJC_MESSAGE_NAMED(initWithTitle, initWithTitleStyleTargetAction_,
                       "initWithTitle:style:target:action:", BarButtonItem*(NS::String*, long, id, SEL))

    OBJC_MESSAGE(title, "title", NS::String*())
    OBJC_MESSAGE(setTitle, "setTitle:", void(NS::String*))
    OBJC_MESSAGE(target, "target", id())
    OBJC_MESSAGE(setTarget, "setTarget:", void(id))
    OBJC_MESSAGE(action, "action", SEL())
    OBJC_MESSAGE(setAction, "setAction:", void(SEL))
    OBJC_MESSAGE(tintColor, "tintColor", Color*())
    OBJC_MESSAGE(setTintColor, "setTintColor:", void(Color*))
    OBJC_MESSAGE(isEnabled, "isEnabled", bool())
    OBJC_MESSAGE(setEnabled, "setEnabled:", void(bool))
};

} // namespace UI
