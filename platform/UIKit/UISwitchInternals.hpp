// What the stand-in keeps in each UISwitch beside what iOS declares: its instance variables.
#pragma once

#include "UIKit/UISwitch.hpp"
#include "objc/Internals.hpp"

namespace UI {

class SwitchInternals : public objc::Internals<SwitchInternals, Switch> {
  public:
    OBJC_IVAR(_on, bool)
    OBJC_IVAR(_onTintColor, Color*, Owning)
};

inline constexpr CGSize kSwitchSize = {51, 31};

} // namespace UI
