// UIDevice: the device the app runs on, as the device's own facts describe it.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class String;
} // namespace NS

namespace UI {

enum UIUserInterfaceIdiom : long {
    UIUserInterfaceIdiomPhone = 0,
    UIUserInterfaceIdiomPad = 1,
};

class GLINTMERE_EXPORT Device : public NS::Referencing<Device, "UIDevice"> {
  public:
    // The one device object of the process.
    static Device* currentDevice() {
        return objc::send<Device*>(runtimeClass(), objc::Selector<"currentDevice">());
    }
    // Answered only where the system has idioms: ask `respondsToSelector:` first, as apps for the
    // oldest systems do.
    UIUserInterfaceIdiom userInterfaceIdiom() {
        return objc::send<UIUserInterfaceIdiom>(this, objc::Selector<"userInterfaceIdiom">());
    }
    // "iPhone" or "iPad".
    NS::String* model() { return objc::send<NS::String*>(this, objc::Selector<"model">()); }
};

} // namespace UI
