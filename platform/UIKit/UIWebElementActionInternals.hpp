// The inner workings of UIWebElementAction: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIWebElementAction.hpp"
#include "objc/Internals.hpp"

namespace UI {

class WebElementActionInternals : public objc::Internals<WebElementActionInternals, WebElementAction> {
  public:
    OBJC_IVAR(_title, NS::String*, Owning)
    OBJC_IVAR(_actionHandler, NS::Block*, Owning)
    OBJC_IVAR(_type, int)
};

} // namespace UI
