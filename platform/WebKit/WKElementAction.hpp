// _WKElementAction: one entry of the sheet the web view shows for a long-pressed element.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class Block;
class String;
} // namespace NS

namespace WK {

// What an action does; the browser's own actions carry their kind, others are custom.
enum ElementActionType : long {
    ElementActionTypeCustom = 0,
    ElementActionTypeOpen = 1,
    ElementActionTypeCopy = 2,
    ElementActionTypeSaveImage = 3,
    ElementActionTypeAddToReadingList = 4,
    ElementActionTypeOpenInNewTab = 5,
};

// The handler is an NS::Block made from a callable of type void(id elementInfo).
class GLINTMERE_EXPORT ElementAction : public NS::Referencing<ElementAction, "_WKElementAction"> {
  public:
    OBJC_IVAR(_type, ElementActionType)
    OBJC_IVAR(_title, NS::String*, Owning)
    OBJC_IVAR(_actionHandler, NS::Block*, Owning)

    // Keeps a copy of the title and of the handler.
    OBJC_MESSAGE_NAMED(initWithTitle, initWithTitle_, "_initWithTitle:actionHandler:type:",
                       ElementAction*(NS::String*, NS::Block*, ElementActionType))

    OBJC_MESSAGE(title, "title", NS::String*())
    OBJC_MESSAGE(type, "type", ElementActionType())
    // Runs the handler with `elementInfo`; `view` is the web view showing the sheet (may be nil).
    OBJC_MESSAGE_NAMED(runActionWithElementInfo, runActionWithElementInfo_,
                       "_runActionWithElementInfo:view:", void(NS::Object*, NS::Object*))
};

} // namespace WK
