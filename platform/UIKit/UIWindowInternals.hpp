// What the stand-in keeps in each UIWindow beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIWindow.hpp"
#include "objc/Internals.hpp"

namespace UI {

class WindowInternals : public objc::Internals<WindowInternals, Window> {
  public:
    OBJC_IVAR(_rootViewController, ViewController*, Owning)
    OBJC_IVAR(_statusBar, StatusBar*, Owning)
    OBJC_IVAR(_visible, bool)
};

} // namespace UI
