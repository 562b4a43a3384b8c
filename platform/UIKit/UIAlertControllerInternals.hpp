// The inner workings of UIAlertAction and UIAlertController: what the stand-in keeps and does beside what
// iOS declares.
#pragma once

#include "UIKit/UIAlertController.hpp"
#include "objc/Internals.hpp"

namespace UI {

class AlertActionInternals : public objc::Internals<AlertActionInternals, AlertAction> {
  public:
    OBJC_IVAR(_title, NS::String*, Copying)
    OBJC_IVAR(_style, long)
    OBJC_IVAR(_handler, NS::Block*, Owning)
};

class AlertControllerInternals : public objc::Internals<AlertControllerInternals, AlertController> {
  public:
    OBJC_IVAR(_actions, NS::MutableArray*, Owning)
    OBJC_IVAR(_preferredStyle, long)
};

// A tap on `action` of `alert`, as the person makes it: the alert is taken down
// (dismissed by whoever presents it), then the action's handler runs. False
// when the action is not the alert's.
GLINTMERE_EXPORT bool tapAlertAction(AlertController* alert, AlertAction* action);

} // namespace UI
