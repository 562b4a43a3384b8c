// What the stand-in keeps in each UIViewController beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIViewController.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ViewControllerInternals : public objc::Internals<ViewControllerInternals, ViewController> {
  public:
    OBJC_IVAR(_title, NS::String*, Owning)
    OBJC_IVAR(_navigationItem, NavigationItem*, Owning)
    OBJC_IVAR(_view, View*, Owning)
};

} // namespace UI
