// The inner workings of UIAlertView: what the stand-in keeps and does beside what iOS declares.
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

// The alert view shown now, nil when none is; what the app's window would show over everything.
GLINTMERE_EXPORT AlertView* visibleAlertView();

} // namespace UI
