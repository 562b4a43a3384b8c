// The inner workings of UINavigationBar: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UINavigationBar.hpp"
#include "objc/Internals.hpp"

namespace UI {

class NavigationBarInternals : public objc::Internals<NavigationBarInternals, NavigationBar> {
  public:
    OBJC_IVAR(_items, NS::Array*, Owning)
    OBJC_IVAR(_barTintColor, Color*, Owning)
    OBJC_IVAR(_titleTextAttributes, NS::Dictionary*, Owning)
};

// Shows `item` anew on every bar that holds it: what a change of its title, title view or buttons does.
void navigationItemChanged(NavigationItem* item);

inline constexpr CGFloat kNavigationBarHeight = 44;

} // namespace UI
