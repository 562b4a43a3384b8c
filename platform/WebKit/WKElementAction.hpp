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
    // Keeps a copy of the title and of the handler.
    ElementAction* initWithTitle(NS::String* title, NS::Block* handler, ElementActionType type) {
        return objc::send<ElementAction*>(this, objc::Selector<"_initWithTitle:actionHandler:type:">(), title,
                                          handler, static_cast<long>(type));
    }

    NS::String* title() { return objc::send<NS::String*>(this, objc::Selector<"title">()); }
    ElementActionType type() {
        return static_cast<ElementActionType>(objc::send<long>(this, objc::Selector<"type">()));
    }
    // Runs the handler with `elementInfo`; `view` is the web view showing the sheet (may be nil).
    void runActionWithElementInfo(NS::Object* elementInfo, NS::Object* view) {
        objc::send(this, objc::Selector<"_runActionWithElementInfo:view:">(), elementInfo, view);
    }
};

} // namespace WK
