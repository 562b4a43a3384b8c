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
    OBJC_CLASS_MESSAGE(currentDevice, "currentDevice", Device*())
    // Answered only where the system has idioms: ask `respondsToSelector:` first, as apps for the
    // oldest systems do.
    OBJC_MESSAGE(userInterfaceIdiom, "userInterfaceIdiom", long())
    // "iPhone" or "iPad".
    OBJC_MESSAGE(model, "model", NS::String*())
};

// UI_USER_INTERFACE_IDIOM(): the current device's idiom, and the phone's where the system has no
// idioms; asked afresh on every call.
inline long userInterfaceIdiom() {
    auto device = Device::currentDevice();
    return device->respondsToSelector(Device::userInterfaceIdiom_.selector()) ? device->userInterfaceIdiom()
                                                                              : UIUserInterfaceIdiomPhone;
}

} // namespace UI
