// _WKElementAction: one entry of the sheet the web view shows for a long-pressed element.
#pragma once

#include "Foundation/NSObject.hpp"

namespace NS {
class Block;
class String;
} // namespace NS

namespace WK {

class ActionSheetAssistant;

// What an action does; the browser's own actions carry their kind, others are custom.
enum ElementActionType : long {
    ElementActionTypeCustom = 0,
    ElementActionTypeOpen = 1,
    ElementActionTypeCopy = 2,
    ElementActionTypeSaveImage = 3,
    ElementActionTypeAddToReadingList = 4,
    ElementActionTypeOpenInNewTab = 5,
};

// From iOS 8.0; iOS 7 has no such class. Its initialiser and its run method changed with the
// releases, and each release has one form of each only. The handler is an NS::Block made from a
// callable of type void(id elementInfo).
class GLINTMERE_EXPORT ElementAction : public NS::Referencing<ElementAction, "_WKElementAction"> {
  public:
    // iOS 8.0 to 8.4. Keeps a copy of the title and of the handler.
    OBJC_MESSAGE_NAMED(initWithTitle, initWithTitle_, "_initWithTitle:actionHandler:type:",
                       ElementAction*(NS::String*, NS::Block*, ElementActionType))
    // From iOS 9.0: as above, with the assistant whose sheet shows the action (not kept alive).
    OBJC_MESSAGE_NAMED(initWithTitleForAssistant, initWithTitleForAssistant_,
                       "_initWithTitle:actionHandler:type:assistant:",
                       ElementAction*(NS::String*, NS::Block*, ElementActionType, ActionSheetAssistant*))

    OBJC_MESSAGE(title, "title", NS::String*())
    OBJC_MESSAGE(type, "type", ElementActionType())

    // iOS 8.0 to 8.2. Runs the handler with `elementInfo`; `view` is the web view showing the sheet
    // (may be nil).
    OBJC_MESSAGE_NAMED(runActionWithElementInfo, runActionWithElementInfo_,
                       "_runActionWithElementInfo:view:", void(NS::Object*, NS::Object*))
    // From iOS 8.3. Runs the handler with `elementInfo` for the sheet of `assistant` (may be nil).
    OBJC_MESSAGE_NAMED(runActionWithElementInfoForAssistant, runActionWithElementInfoForAssistant_,
                       "_runActionWithElementInfo:forActionSheetAssistant:",
                       void(NS::Object*, ActionSheetAssistant*))
    // From iOS 9.0, public: runs the action through the method above, for the assistant it was made
    // for.
    OBJC_MESSAGE_NAMED(runActionWithElementInfoPublicly, runActionWithElementInfoPublicly_,
                       "runActionWithElementInfo:", void(NS::Object*))
};

} // namespace WK
