// The inner workings of UINavigationController: what the stand-in keeps and does beside what iOS declares.
#pragma once

#include "UIKit/UINavigationController.hpp"
#include "objc/Internals.hpp"

namespace UI {

class NavigationControllerInternals
    : public objc::Internals<NavigationControllerInternals, NavigationController> {
  public:
    OBJC_IVAR(_stack, NS::MutableArray*, Owning)
    OBJC_IVAR(_onScreen, bool)
    OBJC_IVAR(_transitionView, UI::View*, Owning)
    OBJC_IVAR(_navigationBar, NavigationBar*, Owning)
};

} // namespace UI
