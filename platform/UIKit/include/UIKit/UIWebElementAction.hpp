// UIWebElementAction: one entry of the sheet UIKit's web views show for a long-pressed element.
#pragma once

#include "Foundation/NSObject.hpp"
#include "UIKit/CGGeometry.hpp"

namespace NS {
class Block;
class String;
} // namespace NS

namespace UI {

// In every release; the browser's own sheet is made of these on iOS 7 only, where WebKit has no
// element actions of its own. The handler is an NS::Block made from a callable of type
// void(id element).
class GLINTMERE_EXPORT WebElementAction : public NS::Referencing<WebElementAction, "UIWebElementAction"> {
  public:
    // Keeps a copy of the title and of the handler; `type` is the kind of action, as an `int`.
    OBJC_MESSAGE(initWithTitle,
                 "initWithTitle:actionHandler:type:", WebElementAction*(NS::String*, NS::Block*, int))

    // The only getter of the title: the class has no `title`.
    OBJC_MESSAGE_NAMED(title, title_, "_title", NS::String*())

    // Runs the handler with `element`: the link or image pressed at `location` in `documentView`,
    // which shows `targetURL`.
    OBJC_MESSAGE_NAMED(runActionWithElement, runActionWithElement_,
                       "_runActionWithElement:targetURL:documentView:interactionLocation:",
                       void(NS::Object*, NS::Object*, NS::Object*, CGPoint))
};

} // namespace UI
