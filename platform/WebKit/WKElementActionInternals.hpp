// The inner workings of _WKElementAction: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "WebKit/WKElementAction.hpp"
#include "objc/Internals.hpp"

namespace WK {

class ElementActionInternals : public objc::Internals<ElementActionInternals, ElementAction> {
  public:
    OBJC_IVAR(_type, ElementActionType)
    OBJC_IVAR(_title, NS::String*, Owning)
    OBJC_IVAR(_actionHandler, NS::Block*, Owning)
    OBJC_IVAR(_defaultActionSheetAssistant, ActionSheetAssistant*)
};

} // namespace WK
