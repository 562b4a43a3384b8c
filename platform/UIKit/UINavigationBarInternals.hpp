// What the stand-in keeps in each UINavigationBar beside what iOS declares: its instance variables.
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

} // namespace UI
