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

} // namespace UI
