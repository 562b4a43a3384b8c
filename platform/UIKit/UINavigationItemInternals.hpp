// The inner workings of UINavigationItem: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UINavigationItem.hpp"
#include "objc/Internals.hpp"

namespace UI {

class NavigationItemInternals : public objc::Internals<NavigationItemInternals, NavigationItem> {
  public:
    OBJC_IVAR(_title, NS::String*, Owning)
    OBJC_IVAR(_titleView, View*, Owning)
    OBJC_IVAR(_rightBarButtonItem, BarButtonItem*, Owning)
    OBJC_IVAR(_leftBarButtonItem, BarButtonItem*, Owning)
};

} // namespace UI
