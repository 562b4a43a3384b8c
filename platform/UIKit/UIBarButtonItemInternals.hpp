// The inner workings of UIBarButtonItem: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UIBarButtonItem.hpp"
#include "objc/Internals.hpp"

namespace UI {

class BarButtonItemInternals : public objc::Internals<BarButtonItemInternals, BarButtonItem> {
  public:
    OBJC_IVAR(_systemItem, long)
    OBJC_IVAR(_target, id)
    OBJC_IVAR(_action, SEL)
    OBJC_IVAR(_enabled, bool)

    // The system item it was made with; -1 for a titled item.
    OBJC_MESSAGE_NAMED(systemItem, systemItem_, "_systemItem", long())
};

// What a tap on the item does: sends its action to its target, with the item as the sender when
// the action takes an argument. False when the item is disabled or its target does not answer.
GLINTMERE_EXPORT bool tapBarButtonItem(BarButtonItem* item);

} // namespace UI
