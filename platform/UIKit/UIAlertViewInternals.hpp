// What the stand-in keeps in each UIAlertView beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIAlertView.hpp"
#include "objc/Internals.hpp"

namespace UI {

class AlertViewInternals : public objc::Internals<AlertViewInternals, AlertView> {
  public:
    OBJC_IVAR(_title, NS::String*, Copying)
    OBJC_IVAR(_message, NS::String*, Copying)
    OBJC_IVAR(_delegate, NS::Object*)
    OBJC_IVAR(_cancelButtonTitle, NS::String*, Copying)
    OBJC_IVAR(_otherButtonTitle, NS::String*, Copying)
};

} // namespace UI
