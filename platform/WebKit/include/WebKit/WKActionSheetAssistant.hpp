// WKActionSheetAssistant: builds the sheet of actions a web view shows for a long-pressed element
// (from iOS 8.0).
#pragma once

#include "Foundation/NSObject.hpp"
#include "WebKit/WKElementAction.hpp"

namespace NS {
class Array;
}

namespace WK {

class ActivatedElementInfo;

// The delegate (plain reference) performs what only the browser can: opening pages and keeping
// the reading list. It answers
//   - (void)actionSheetAssistant:(WKActionSheetAssistant*)assistant
//                  performAction:(long)type              // an ElementActionType
//                     forElement:(_WKActivatedElementInfo*)element;
// The assistant copies and saves images itself.
class GLINTMERE_EXPORT ActionSheetAssistant
    : public NS::Referencing<ActionSheetAssistant, "WKActionSheetAssistant"> {
  public:
    OBJC_MESSAGE(delegate, "delegate", NS::Object*())
    OBJC_MESSAGE(setDelegate, "setDelegate:", void(NS::Object*))

    // The actions of an image's sheet, in sheet order: "Open", "Open in New Tab",
    // "Add to Reading List", "Copy", "Save Image", titled in the device's language as WebKit's
    // string tables have them. Autoreleased array of _WKElementAction.
    OBJC_MESSAGE(defaultActionsForImageSheet,
                 "defaultActionsForImageSheet:", NS::Array*(ActivatedElementInfo*))
};

// What the delegate answers (a protocol: any class may take it on, so it has no class of its own).
class ActionSheetAssistantDelegate : public NS::Object {
  public:
    OBJC_MESSAGE_NAMED(performActionForElement, performActionForElement_,
                       "actionSheetAssistant:performAction:forElement:",
                       void(ActionSheetAssistant*, ElementActionType, ActivatedElementInfo*))
};

} // namespace WK
