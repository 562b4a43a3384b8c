// What the stand-in keeps in each UIApplication beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UIApplication.hpp"
#include "objc/Internals.hpp"

namespace UI {

class ApplicationInternals : public objc::Internals<ApplicationInternals, Application> {
  public:
    OBJC_IVAR(_statusBarStyle, long)
};

} // namespace UI
