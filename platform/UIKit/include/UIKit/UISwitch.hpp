// UISwitch: an on/off control, coloured when on by its own onTintColor or by an appearance proxy.
#pragma once

#include "UIKit/UIAppearance.hpp"
#include "UIKit/UIView.hpp"

namespace UI {

class GLINTMERE_EXPORT Switch : public NS::Referencing<Switch, "UISwitch", View> {
  public:
    // A switch has the one size of the system's switches (51 × 31 points), whatever frame it is given.
    OBJC_MESSAGE(isOn, "isOn", bool())
    OBJC_MESSAGE(setOn, "setOn:", void(bool))
    OBJC_MESSAGE_NAMED(setOn, setOnAnimated_, "setOn:animated:", void(bool, bool))

    // The colour of the track when on: the one set on the switch, else the one of the appearance
    // proxy that applies where the switch is, else nil (the system's green).
    OBJC_MESSAGE(onTintColor, "onTintColor", Color*())
    OBJC_MESSAGE(setOnTintColor, "setOnTintColor:", void(Color*))
    OBJC_MESSAGE(thumbTintColor, "thumbTintColor", Color*())
    OBJC_MESSAGE(setThumbTintColor, "setThumbTintColor:", void(Color*))

    // The proxy for all switches, and the one for switches inside instances of the classes listed
    // (innermost first, ended by nil).
    OBJC_CLASS_MESSAGE(appearance, "appearance", Switch*())
    template <class... Classes>
    static objc::Ptr<Switch> appearanceWhenContainedIn(Class first, Classes... more) {
        return UI::appearanceWhenContainedIn<Switch>(runtimeClass(), first, more...);
    }
};

} // namespace UI
